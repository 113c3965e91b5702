#pragma once
// A vertical scroll bar: two arrow buttons, a track in two pieces around a
// draggable slider. It reports its position through `Scrolled` and leaves the
// scrolling itself to its owner. A held arrow or track piece repeats its step
// (one at once, the next after 500 ms, then every 50 ms); the slider follows
// the mouse relative to where it was pressed, and a release or a leave
// anywhere on the screen ends the drag.
//
// Owners configure it by writing `minimum`, `maximum`, `page` and `position`
// and calling UpdateLayout().

#include "toolkit/IMPictures.h"

class IMScroll : public IMDialogBase {
public:
    using ScrollSignal = IMSignal<long(const IMEvent&, int)>;

    // rect null: 16 pixels wide along the parent's right edge, its full height.
    IMScroll(IMDialogBase* parent, const Rect* rect);
    ~IMScroll() override;

    void SetRect(const Rect& r) override;
    // The drag: a press on the slider starts it, moves of the root move the
    // slider, a release or a leave ends it.
    virtual long OnSliderMouse(const IMMouseEvent& e);
    // Places every part from the rect and the four numbers.
    virtual long UpdateLayout();
    // The arrows (a tenth of a page) and the track pieces (a page), pressed,
    // released, left, and ticked by the repeat timer (code 0).
    long OnStepButton(const IMMouseEvent& e);
    // Clamps p into minimum .. maximum - page; emits Scrolled only on a change.
    long SetScrollPosition(int p);
    IMConnection ConnectScrolled(const ScrollSignal::slot_type& slot) { return Scrolled.connect(slot); }

    // Parts, in creation (drawing) order.
    IMStaticPictureBase<IMTextureView>* backPicture = nullptr;  // under everything
    IMButtonBase* upButton = nullptr;                           // a tenth of a page up
    IMButtonBase* downButton = nullptr;                         // a tenth of a page down
    IMButtonBase* trackUpper = nullptr;                         // above the slider: a page up
    IMButtonBase* trackLower = nullptr;                         // below the slider: a page down
    IMButtonBase* slider = nullptr;                             // drawn above the track

    ScrollSignal Scrolled;  // the new position, whenever it changes

    int minimum = 0;                // lower end of the range
    int maximum = 100;              // upper end of the range
    int position = 0;               // minimum .. maximum - page
    int page = 10;                  // the visible part of the range
    int repeatTimer = 0;            // the main window's timer driving the auto-repeat, 0 when none
    IMConnection repeatConnection;  // the repeat timer's slot
    IMConnection dragConnection;    // the root's MouseMoved, connected while the slider is dragged
    Point lastDrag;                 // the last mouse position seen while dragging, root coordinates

private:
    int StepOf(const IMControl* source) const;
    // Cuts the repeat: kills its timer and disconnects its slot.
    void StopRepeat();
    void StartRepeatTimer(int ms, const IMMouseEvent& e);
    IMDialogBase* Root();
};
