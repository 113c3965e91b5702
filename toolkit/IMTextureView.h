#pragma once
// The picture view: one texture of the texture table drawn into the view's
// rect, modulated by `colour`, rotated by `angle`; a point hits it only over a
// fully opaque texel. IMStateView adds a picture per button state.

#include "render/IMResourceManager.h"
#include "toolkit/IMView.h"

#include <map>
#include <string>

class IMTextureView : public IMView {
public:
    ~IMTextureView() override;

    // Shows the picture registered (or loadable) under name.
    void SetImage(const std::wstring& name);
    // Shows handle, taking a reference of its own; the caller keeps its reference.
    void SetImage(TextureHandle handle);

    void Draw() override;
    bool HitTest(const Point& p) const override;

private:
    void ClearImage(IMResourceManager& manager);

public:
    TextureHandle texture = NoTexture;  // the picture, one reference held while hasTexture
    std::uint32_t colour = 0xFFFFFFFF;
    float angle = 0.0f;  // radians about the rect's centre
    int alphaThreshold = 255;
    bool hasTexture = false;
};

// The states a button shows a picture for, by the numbers its picture table uses.
namespace ButtonState {
inline constexpr int Normal = 0;
inline constexpr int Disabled = 1;
inline constexpr int Hovered = 3;
inline constexpr int Pressed = 4;
}  // namespace ButtonState

class IMStateView : public IMTextureView {
public:
    // Normal, disabled, hovered, pressed; empty names fall back to the normal one.
    void SetStateImages(const std::wstring& normal, const std::wstring& disabled, const std::wstring& hovered,
        const std::wstring& pressed);

    int state = ButtonState::Normal;          // the ButtonState shown
    std::map<int, std::wstring> stateImages;  // picture name per state
};
