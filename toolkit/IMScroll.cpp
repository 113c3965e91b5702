#include "toolkit/IMScroll.h"

#include "toolkit/IMTimerService.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace {

constexpr int FirstRepeatMs = 500;
constexpr int RepeatMs = 50;
constexpr int DefaultWidth = 16;

bool IsPress(const IMMouseEvent& e)
{
    // A quick second press arrives as a double click; it presses all the same.
    return e.code == EventCode::LeftDown || e.code == EventCode::LeftDoubleClick;
}

bool IsReleaseOrLeave(const IMMouseEvent& e)
{
    return e.code == EventCode::LeftUp || e.code == EventCode::MouseLeave;
}

int Saturated(std::int64_t v)
{
    return int(std::clamp(v, std::int64_t(INT_MIN), std::int64_t(INT_MAX)));
}

// Still under the mouse with the button down, as at the press.
bool StillHeld(const IMControl& button)
{
    return button.IsHovered() && button.IsPressed() && button.IsEnabled() && !button.IsHidden();
}

void Place(IMControl* control, int x, int y, int width, int height)
{
    control->SetRect({x, y, x + width, y + height});
}

}  // namespace

IMScroll::IMScroll(IMDialogBase* parent, const Rect* rect)
    : IMDialogBase(parent, rect, 0)
{
    backPicture = CreatePicture(0, 0, L"ScrollBackground", 0);
    upButton = CreateButton(0, 0, L"ScrollButtonUp", L"", L"", L"", 0);
    downButton = CreateButton(0, 0, L"ScrollButtonDown", L"", L"", L"", 0);
    trackUpper = CreateButton(0, 0, L"ScrollBackground", L"", L"", L"", 0);
    trackLower = CreateButton(0, 0, L"ScrollBackground", L"", L"", L"", 0);
    slider = CreateButton(0, 0, L"ScrollSlider", L"", L"", L"", 0);

    for (IMButtonBase* button : {downButton, upButton, trackUpper, trackLower}) {
        auto step = [this](const IMMouseEvent& e) { return OnStepButton(e); };
        button->MouseButton.connect(Tracked<MouseSlot>(this, step));
        button->MouseLeft.connect(Tracked<MouseSlot>(this, step));
    }
    auto drag = [this](const IMMouseEvent& e) { return OnSliderMouse(e); };
    slider->MouseButton.connect(Tracked<MouseSlot>(this, drag));
    // A release or a leave anywhere on the screen ends a drag, even outside the bar.
    IMDialogBase* root = Root();
    root->MouseLeft.connect(Tracked<MouseSlot>(this, drag));
    root->MouseButton.connect(Tracked<MouseSlot>(this, drag));

    if (!rect) {
        const Rect p = parent ? parent->GetRect() : GetRect();
        SetRect({p.Width() - DefaultWidth, 0, p.Width(), p.Height()});
    }
    // The base constructor set the rect before the parts existed.
    UpdateLayout();
}

IMScroll::~IMScroll()
{
    StopRepeat();
    dragConnection.disconnect();
}

IMDialogBase* IMScroll::Root()
{
    IMDialogBase* root = this;
    while (root->GetParent())
        root = root->GetParent();
    return root;
}

void IMScroll::SetRect(const Rect& r)
{
    IMDialogBase::SetRect(r);
    UpdateLayout();
}

// ---------------------------------------------------------------------------
// Layout

long IMScroll::UpdateLayout()
{
    if (!slider)
        return 0;  // called by the base constructor, before the parts exist
    const Rect r = GetRect();
    const int w = r.Width();
    const int h = r.Height();
    const std::int64_t track = std::max(0, h - 2 * w);
    const std::int64_t span = std::int64_t(maximum) - minimum;
    // Track offsets of a range value; a range the owner left empty or
    // inconsistent gives a slider filling the track rather than a division by zero.
    auto along = [&](std::int64_t value) -> int {
        if (span <= 0)
            return 0;
        return int(std::clamp(track * value / span, std::int64_t(0), track));
    };
    const std::int64_t offset = std::int64_t(position) - minimum;
    const int sliderTop = along(offset);
    const int lowerTop = span > 0 ? along(offset + page) : int(track);
    const int sliderHeight = span > 0 ? along(page) : int(track);

    Place(upButton, 0, 0, w, w);
    Place(trackUpper, 0, w, w, sliderTop + w);
    Place(downButton, 0, h - w, w, w);
    Place(trackLower, 0, lowerTop + w, w, int(track) - lowerTop);
    Place(backPicture, 0, 0, w, h);
    // While dragged the slider follows the mouse, not the position.
    const int sliderY = dragConnection.connected() ? slider->GetPosition().y : sliderTop + w;
    Place(slider, 0, sliderY, w, sliderHeight);
    return 0;
}

long IMScroll::SetScrollPosition(int p)
{
    const int c = std::min(std::max(p, minimum), maximum - page);
    if (c == position)
        return 0;
    position = c;
    Emit(Scrolled, IMEvent(this, EventCode::StateChanged), c);
    UpdateLayout();
    return 0;
}

// ---------------------------------------------------------------------------
// Step buttons and their auto-repeat

int IMScroll::StepOf(const IMControl* source) const
{
    if (source == upButton)
        return -(page / 10);
    if (source == downButton)
        return page / 10;
    if (source == trackUpper)
        return -page;
    if (source == trackLower)
        return page;
    return 0;
}

long IMScroll::OnStepButton(const IMMouseEvent& e)
{
    const IMControl* source = e.source;
    if (source != upButton && source != downButton && source != trackUpper && source != trackLower)
        return 0;
    const int step = StepOf(source);
    if (e.code == EventCode::StateChanged || IsPress(e)) {
        // A tick supersedes its timer by a 50 ms one; a press starts afresh.
        StopRepeat();
        SetScrollPosition(Saturated(std::int64_t(position) + step));
        // The step may have moved the slider under the mouse, which then has
        // left this track piece: the repeat ends there, not at the range's end.
        if (StillHeld(*source))
            StartRepeatTimer(e.code == EventCode::StateChanged ? RepeatMs : FirstRepeatMs, e);
    } else if (IsReleaseOrLeave(e)) {
        StopRepeat();
    }
    return 0;
}

void IMScroll::StartRepeatTimer(int ms, const IMMouseEvent& e)
{
    IMTimerService* timers = GetTimerService();
    if (!timers)
        return;
    repeatTimer = timers->AddTimer(ms);
    const IMMouseEvent tick(e.source, EventCode::StateChanged, e.wParam, e.x, e.y);
    repeatConnection = timers->ConnectTimer(
        repeatTimer, Tracked<EventSlot>(this, [this, tick](const IMEvent&) { return OnStepButton(tick); }));
}

void IMScroll::StopRepeat()
{
    if (!repeatConnection.connected() && repeatTimer == 0)
        return;
    if (IMTimerService* timers = GetTimerService())
        timers->RemoveTimer(repeatTimer);
    repeatTimer = 0;
    repeatConnection.disconnect();
}

// ---------------------------------------------------------------------------
// Slider drag

long IMScroll::OnSliderMouse(const IMMouseEvent& e)
{
    if (e.source == slider && IsPress(e)) {
        IMDialogBase* root = Root();
        dragConnection.disconnect();
        lastDrag = root->lastMousePos;
        dragConnection = root->MouseMoved.connect(
            Tracked<MouseSlot>(this, [this](const IMMouseEvent& m) { return OnSliderMouse(m); }));
    }
    if (IsReleaseOrLeave(e) && dragConnection.connected())
        dragConnection.disconnect();
    if (e.code != EventCode::MouseMove || !dragConnection.connected())
        return 0;

    // A move during the drag, in root coordinates: the slider moves by as much
    // as the mouse did since the last move.
    const int w = GetWidth();
    const int h = GetHeight();
    const int highest = std::max(w, h - w - slider->GetHeight());
    const std::int64_t wanted = std::int64_t(slider->GetPosition().y) + e.y - lastDrag.y;
    const int y = int(std::clamp(wanted, std::int64_t(w), std::int64_t(highest)));
    const int track = h - 2 * w;
    const std::int64_t span = std::int64_t(maximum) - minimum;
    if (track > 0 && span > 0) {
        const double v = std::floor(double(span) * (y - w) / track + 0.5) + minimum;
        const int value = int(std::clamp(v, double(INT_MIN), double(INT_MAX)));
        if (value != position)
            SetScrollPosition(value);
    }
    slider->IMStateView::SetPosition(0, y);
    lastDrag = {e.x, e.y};
    UpdateLayout();
    return 0;
}
