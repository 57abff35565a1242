// What the sim's DirectInput, device and effect objects share: a label in the
// journal, a reference count, zombies, and the opening of every call.
#pragma once

#include "sim/dinput_api.h"
#include "sim/journal.h"

#include <optional>
#include <string>
#include <vector>

class SimObject {
public:
    SimObject(const SimObject&) = delete;
    SimObject& operator=(const SimObject&) = delete;

    const std::string label;  // "dinput", "dev<index>" or "eff<n>" in the journal
    bool released() const { return isReleased; }

    // The objects made since the last forgetObjects(), in order; an object
    // destroyed leaves the list.
    static const std::vector<SimObject*>& objects();
    IUnknown* handedOut() const { return self; }
    // Every object made so far answers as released from now on, and leaves
    // the list; calls on released objects are counted from zero again.
    static void forgetObjects();
    // Calls that reached an object already released to zero.
    static int callsOnReleased();

protected:
    // self: the interface handed out. device: the config index that injected
    // failures count the object's calls against, -1 for none. owner: the
    // device an effect belongs to, whose release its lines mention.
    // freeWhenReleased: destroyed at the last Release rather than kept as a
    // zombie (lastReleased decides).
    SimObject(IUnknown* self, std::string label, int device, const SimObject* owner, bool freeWhenReleased);
    virtual ~SimObject();

    const bool freesReleased;

    CallLine callLine(const char* method) const { return CallLine(label, method); }
    // Every call's check once its arguments are on the line: a released
    // object answers E_POINTER with error=released; a configured failure of
    // the method answers its result. Empty when the call goes on.
    std::optional<HRESULT> refusal(CallLine& line) const { return refusal(line, device); }
    // The same, counted against another device's calls.
    std::optional<HRESULT> refusal(CallLine& line, int concerns) const;
    // A call that only answers.
    HRESULT unsupported(const char* method, HRESULT result = E_NOTIMPL) const;

    // IUnknown alike for all three; own is the interface besides IUnknown.
    HRESULT queryInterface(REFIID iid, void** object, REFIID own);
    ULONG addRef();
    ULONG release();
    // The last Release: the object is released already, and may destroy
    // itself here.
    virtual void lastReleased() = 0;

private:
    IUnknown* const self;
    const int device;
    const SimObject* const owner;
    LONG references = 1;
    // Released objects stay as zombies, so that later calls are journaled,
    // unless freesReleased.
    bool isReleased = false;
};
