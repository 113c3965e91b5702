#pragma once
// The two controls that carry almost everything a screen shows: a static
// picture or text label, and a four-state picture button.

#include "toolkit/IMDialogBase.h"
#include "toolkit/IMTextView.h"
#include "toolkit/IMTextureView.h"
#include "toolkit/IMViewControl.h"

template <class V> class IMStaticPictureBase : public IMViewControl<V> {
public:
    IMStaticPictureBase(IMDialogBase* parent, int layer)
        : IMViewControl<V>(parent, layer)
    {
    }

    // Pictures: shows name at its natural size at (0, 0) of the parent.
    void SetPicture(const std::wstring& name) requires std::is_base_of_v<IMTextureView, V>
    {
        V::SetImage(name);
        this->SetRect(V::GetSourceRect());
    }
};

// A picture button: normal (0), disabled (1), hovered (3) and pressed (4)
// pictures following the mouse and the enabled state.
class IMButtonBase : public IMViewControl<IMStateView> {
public:
    IMButtonBase(IMDialogBase* parent, int layer);

    // Sizes the button to its picture and places it at (0, 0).
    void SetImages(const std::wstring& normal, const std::wstring& disabled, const std::wstring& hovered,
        const std::wstring& pressed);
    virtual long UpdateState();
    long Disable() override;
    long Enable() override;
};
