#pragma once
// Helpers for toolkit tests: a root dialog driven the way the main window
// drives it (mouse, keys, update and paint passes), plain rectangle controls
// that log their deletion, and a recorder of signal emissions in order.

#include "toolkit/IMDialogBase.h"

#include <string>
#include <vector>

// A control that is hit inside its rect and draws nothing.
class TestControl : public IMViewControl<IMEmptyView> {
public:
    TestControl(
        IMDialogBase* parent, int layer, Rect r, std::string name = {}, std::vector<std::string>* deaths = nullptr)
        : IMViewControl(parent, layer)
        , name(std::move(name))
        , deaths(deaths)
    {
        SetRect(r);
    }
    ~TestControl() override
    {
        if (deaths)
            deaths->push_back(name);
    }
    std::string name;
    std::vector<std::string>* deaths;
};

// A dialog that logs its deletion; its children are deleted before the log line
// of the dialog's own storage (written from the dialog destructor's end).
class TestDialog : public IMDialogBase {
public:
    TestDialog(IMDialogBase* parent, const Rect* r, int layer, std::string name, std::vector<std::string>* deaths)
        : IMDialogBase(parent, r, layer)
        , name(std::move(name))
        , deaths(deaths)
    {
    }
    ~TestDialog() override
    {
        FlushRemovals();  // children go first, as the base destructor would
        if (deaths)
            deaths->push_back(name);
    }
    std::string name;
    std::vector<std::string>* deaths;
};

// Records "<who>:<signal>:<code>" lines for the signals it watches.
class SignalLog {
public:
    void Watch(IMControl* control, const std::string& who);
    std::vector<std::string> lines;
    void Clear() { lines.clear(); }
    bool Has(const std::string& line) const;
    // Index of line in the log, or -1.
    int IndexOf(const std::string& line) const;

private:
    IMLifetime lifetime;
};

// The root as the main window drives it.
class RootDriver {
public:
    explicit RootDriver(IMDialogBase& root)
        : root(root)
    {
    }
    void Move(int x, int y, std::uint32_t buttons = 0);
    void Press(int x, int y, unsigned code = EventCode::LeftDown, std::uint32_t buttons = MouseKey::Left);
    void Release(int x, int y, unsigned code = EventCode::LeftUp, std::uint32_t buttons = 0);
    void Click(int x, int y);
    void Key(unsigned code, std::uint32_t wParam);
    void Turn();   // one update pass
    void Paint();  // one paint pass if dirty, as a frame does

private:
    IMDialogBase& root;
};
