#include "toolkit/IMTextureView.h"

#include <cmath>

IMTextureView::~IMTextureView()
{
    if (hasTexture)
        if (IMResourceManager* manager = GetResourceManager())
            manager->ReleaseTexture(texture);
}

void IMTextureView::SetImage(const std::wstring& name)
{
    IMResourceManager* manager = GetResourceManager();
    if (!manager)
        return;
    const TextureHandle t = manager->LoadTexture(name);
    SetImage(t);
    manager->ReleaseTexture(t);
}

void IMTextureView::SetImage(TextureHandle t)
{
    IMResourceManager* manager = GetResourceManager();
    if (!manager || (t == texture && hasTexture))
        return;
    if (!manager->IsLive(t)) {
        // A failed lookup: the view shows nothing and holds nothing. Keeping the
        // handle would release a slot that later belongs to another picture.
        ClearImage(*manager);
        return;
    }
    manager->AddRefTexture(t);
    if (hasTexture)
        manager->ReleaseTexture(texture);
    texture = t;
    hasTexture = true;
    const Rect image = manager->ImageRect(t);
    SetSourceRect({0, 0, image.Width(), image.Height()});
    // Also when the size did not change: the picture did.
    SetDirty(true);
}

void IMTextureView::ClearImage(IMResourceManager& manager)
{
    if (hasTexture)
        manager.ReleaseTexture(texture);
    texture = NoTexture;
    hasTexture = false;
    SetSourceRect({0, 0, 0, 0});
    SetDirty(true);
}

void IMTextureView::Draw()
{
    if (hasTexture)
        if (IMResourceManager* manager = GetResourceManager()) {
            const Rect source = GetSourceRect();
            manager->DrawTexture(texture, GetRect(), &source, colour, angle);
        }
    dirty = false;
}

bool IMTextureView::HitTest(const Point& p) const
{
    const IMResourceManager* manager = GetResourceManager();
    if (!hasTexture || !manager)
        return false;
    const Rect s = GetSourceRect();
    const Rect d = GetRect();
    if (d.Width() <= 0 || d.Height() <= 0)
        return false;
    const float cx = float(d.left + (d.right - d.left) / 2);
    const float cy = float(d.top + (d.bottom - d.top) / 2);
    const float c = std::cos(-angle), sn = std::sin(-angle);
    const Point r {static_cast<int>(cx + c * (float(p.x) - cx) - sn * (float(p.y) - cy)),
        static_cast<int>(cy + sn * (float(p.x) - cx) + c * (float(p.y) - cy))};
    if (!d.Contains(r))
        return false;
    const int u = (s.right - s.left) * (r.x - d.left) / (d.right - d.left);
    const int v = (r.y - d.top) * (s.bottom - s.top) / (d.bottom - d.top);
    if (!s.Contains({u, v}))
        return false;
    const int texelAlpha = manager->TexelAlpha(texture, u, v);
    return int(colour >> 24) / 255 * texelAlpha >= alphaThreshold;
}

void IMStateView::SetStateImages(
    const std::wstring& normal, const std::wstring& disabled, const std::wstring& hovered, const std::wstring& pressed)
{
    stateImages[ButtonState::Normal] = normal;
    stateImages[ButtonState::Disabled] = disabled.empty() ? normal : disabled;
    stateImages[ButtonState::Hovered] = hovered.empty() ? normal : hovered;
    stateImages[ButtonState::Pressed] = pressed.empty() ? normal : pressed;
    SetImage(stateImages[state]);
}
