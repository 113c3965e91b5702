#pragma once
// A column of text items in a framed panel that highlights the item last
// clicked. The list itself draws nothing: everything visible lies in `panel`,
// a dialog beside the list in the same parent that always covers the list's
// rect. Items are never removed and do not scroll; items below the panel are
// clipped by it.

#include "toolkit/IMPictures.h"

#include <string>
#include <vector>

class IMList : public IMViewControl<IMEmptyView> {
public:
    using Item = IMStaticPictureBase<IMTextView>;
    using Picture = IMStaticPictureBase<IMTextureView>;

    explicit IMList(IMDialogBase* parent);

    // The panel follows the list; the frame and the background fill it.
    void SetRect(const Rect& r) override;
    // A black label under the last item; returned, owned by the panel.
    Item* AddItem(const std::wstring& text);
    // item, or null for none, becomes `selected`; the highlight moves under it.
    void Select(Item* item);
    // Connected to every item's Clicked.
    long OnItemClicked(const IMMouseEvent& e);

    // The panel is the visible part of the list, so it goes and hides with it.
    long Destroy(const IMEvent& e) override;
    long Hide() override;
    long Show() override;

    IMDialogBase* panel = nullptr;       // child of the list's parent, above the list
    IMDialogBase* itemsPanel = nullptr;  // in panel: the highlight, then the items
    Picture* backPicture = nullptr;      // in panel, under everything
    Picture* lineTop = nullptr;          // in panel: one-pixel frame lines
    Picture* lineBottom = nullptr;
    Picture* lineLeft = nullptr;
    Picture* lineRight = nullptr;
    Picture* highlight = nullptr;  // in itemsPanel, under the items; hidden while nothing is selected
    std::vector<Item*> items;      // in insertion order
    Item* selected = nullptr;      // changed by clicks and Select

private:
    void PlacePanel(const Rect& r);
};
