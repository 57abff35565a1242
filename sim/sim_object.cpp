#include "sim/sim_object.h"

#include "sim/faults.h"

#include <algorithm>

namespace {

std::vector<SimObject*> made;
int releasedCalls = 0;

} // namespace

SimObject::SimObject(IUnknown* object, std::string name, int deviceIndex, const SimObject* belongsTo,
                     bool freeWhenReleased)
    : label(std::move(name)), freesReleased(freeWhenReleased), self(object), device(deviceIndex), owner(belongsTo)
{
    made.push_back(this);
}

SimObject::~SimObject()
{
    made.erase(std::remove(made.begin(), made.end(), this), made.end());
}

const std::vector<SimObject*>& SimObject::objects()
{
    return made;
}

void SimObject::forgetObjects()
{
    for (SimObject* object : made)
        object->isReleased = true;
    made.clear();
    releasedCalls = 0;
}

int SimObject::callsOnReleased()
{
    return releasedCalls;
}

std::optional<HRESULT> SimObject::refusal(CallLine& line, int concerns) const
{
    if (isReleased) {
        ++releasedCalls;
        line.text("error", "released");
        return E_POINTER;
    }
    // An effect still answers once its device is gone, as an unacquired one.
    if (owner && owner->released())
        line.text("device", "released");
    // Methods no rule can name are counted too, and never fail.
    HRESULT hr;
    if (injectedFailure(line.method(), concerns, hr))
        return hr;
    return std::nullopt;
}

HRESULT SimObject::unsupported(const char* method, HRESULT result) const
{
    CallLine line = callLine(method);
    return line.finish(refusal(line).value_or(result));
}

HRESULT SimObject::queryInterface(REFIID iid, void** object, REFIID own)
{
    CallLine line = callLine("QueryInterface");
    line.text("iid", interfaceName(iid));
    if (const auto refused = refusal(line))
        return line.finish(*refused);
    if (!object)
        return line.finish(E_POINTER);
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, own)) {
        *object = nullptr;
        return line.finish(E_NOINTERFACE);
    }
    *object = self;
    line.number("refs", ++references);
    return line.finish(S_OK);
}

ULONG SimObject::addRef()
{
    CallLine line = callLine("AddRef");
    if (const auto refused = refusal(line)) {
        line.finish(*refused);
        return 0;
    }
    line.number("refs", ++references);
    line.finish(S_OK);
    return static_cast<ULONG>(references);
}

ULONG SimObject::release()
{
    CallLine line = callLine("Release");
    if (const auto refused = refusal(line)) {
        line.finish(*refused);
        return 0;
    }
    line.number("refs", --references);
    line.finish(S_OK);
    if (references > 0)
        return static_cast<ULONG>(references);
    isReleased = true;
    lastReleased();
    return 0;
}
