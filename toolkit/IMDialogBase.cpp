#include "toolkit/IMDialogBase.h"

#include "render/IMRenderDevice.h"
#include "toolkit/IMPictures.h"

#include <algorithm>

namespace {

Rect DefaultRect()
{
    const IMRenderDevice* device = GetRenderDevice();
    if (device && device->backBufferWidth > 0)
        return {0, 0, device->backBufferWidth, device->backBufferHeight};
    return {0, 0, BackBufferWidth, BackBufferHeight};
}

bool EraseFrom(std::vector<IMControl*>& v, IMControl* c)
{
    auto it = std::find(v.begin(), v.end(), c);
    if (it == v.end())
        return false;
    v.erase(it);
    return true;
}

}  // namespace

IMDialogBase::IMDialogBase(IMDialogBase* parent, const Rect* rect, int layer)
    : IMViewControl(parent, layer)
{
    focusable = true;
    SetRect(rect ? *rect : DefaultRect());
}

IMDialogBase::~IMDialogBase()
{
    FlushRemovals();
    // Children created and left pending (a screen closed before the next update
    // pass) belong to this dialog too.
    Layers pending;
    pending.swap(pendingChildren);
    for (auto& [layer, children] : pending)
        for (IMControl* child : children)
            delete child;
}

// ---------------------------------------------------------------------------
// Tree operations

bool IMDialogBase::IsLive(IMControl* child) const
{
    for (const auto& [layer, children] : layers)
        if (std::find(children.begin(), children.end(), child) != children.end())
            return true;
    return false;
}

IMControl* IMDialogBase::AddChild(IMControl* child, int layer)
{
    if (IsLive(child))
        return child;
    pendingChildren[layer].push_back(child);
    child->ConnectFocusGained(Tracked<EventSlot>(this, [this](const IMEvent& e) { return TrackChildFocus(e); }));
    child->ConnectFocusLost(Tracked<EventSlot>(this, [this](const IMEvent& e) { return TrackChildFocus(e); }));
    SetDirty(true);
    return child;
}

void IMDialogBase::RemoveChild(IMControl* child)
{
    if (IsLive(child) && std::find(removalQueue.begin(), removalQueue.end(), child) == removalQueue.end()) {
        removalQueue.push_back(child);
        SetDirty(true);
    }
    for (auto it = pendingChildren.begin(); it != pendingChildren.end(); ++it) {
        if (EraseFrom(it->second, child)) {
            if (it->second.empty())
                pendingChildren.erase(it);
            delete child;
            return;
        }
    }
}

void IMDialogBase::FlushRemovals()
{
    while (!removalQueue.empty()) {
        IMControl* child = removalQueue.back();
        const int layer = GetLayerOf(child);
        auto it = layers.find(layer);
        if (it != layers.end()) {
            EraseFrom(it->second, child);
            if (it->second.empty())
                layers.erase(it);
        }
        if (hoveredChild == child)
            hoveredChild = nullptr;
        if (focusedChild == child)
            focusedChild = nullptr;
        delete child;
        removalQueue.pop_back();
    }
}

bool IMDialogBase::HasPendingChanges() const
{
    if (!pendingChildren.empty() || !removalQueue.empty())
        return true;
    bool pending = false;
    ForEachChild([&pending](IMControl* child) {
        if (!pending)
            if (const auto* dialog = dynamic_cast<const IMDialogBase*>(child))
                pending = dialog->HasPendingChanges();
    });
    return pending;
}

int IMDialogBase::GetLayerOf(IMControl* child) const
{
    for (const auto& [layer, children] : layers)
        if (std::find(children.begin(), children.end(), child) != children.end())
            return layer;
    return 0;
}

void IMDialogBase::SetChildLayer(IMControl* child, int layer)
{
    for (auto it = layers.begin(); it != layers.end(); ++it) {
        if (std::find(it->second.begin(), it->second.end(), child) == it->second.end())
            continue;
        if (it->first == layer)
            return;
        EraseFrom(it->second, child);
        if (it->second.empty())
            layers.erase(it);
        layers[layer].push_back(child);
        return;
    }
}

void IMDialogBase::UpdateHover(const IMMouseEvent& e)
{
    const Point p {e.x, e.y};
    IMControl* source = e.source;
    if (source != this && source != nullptr && !source->HitTest(p) && source != hoveredChild)
        return;

    IMControl* top = TopmostAt(p);
    IMControl* previous = hoveredChild;
    // The new child is entered before the old one is left.
    if (top && top != previous) {
        hoveredChild = top;
        top->OnMouseEnter(IMMouseEvent(this, EventCode::MouseEnter, e.wParam, p.x, p.y));
    }
    if (previous && previous != top) {
        hoveredChild = top;
        previous->OnMouseLeave(IMMouseEvent(this, EventCode::MouseLeave, e.wParam, p.x, p.y));
    }
}

IMControl* IMDialogBase::TopmostAt(Point p) const
{
    for (auto layer = layers.rbegin(); layer != layers.rend(); ++layer)
        for (auto child = layer->second.rbegin(); child != layer->second.rend(); ++child)
            if ((*child)->HitTest(p))
                return *child;
    return nullptr;
}

bool IMDialogBase::HoverIsCurrent(Point p) const
{
    if (TopmostAt(p) != hoveredChild)
        return false;
    const auto* dialog = dynamic_cast<const IMDialogBase*>(hoveredChild);
    if (!dialog)
        return true;
    const Rect r = dialog->GetRect();
    return dialog->HoverIsCurrent({p.x - r.left, p.y - r.top});
}

long IMDialogBase::TrackChildFocus(const IMEvent& e)
{
    IMControl* child = e.source;
    if (e.code == EventCode::FocusGained && child != focusedChild) {
        // The focus chain reaches up to the root.
        SetFocus(true);
        if (focusedChild)
            focusedChild->SetFocus(false);
        focusedChild = child;
    } else if (e.code == EventCode::FocusLost && child == focusedChild) {
        focusedChild = nullptr;
    }
    return 1;
}

IMDialogBase* IMDialogBase::CreateDialog(int x, int y, int width, int height, int layer)
{
    const Rect r {x, y, x + width, y + height};
    return new IMDialogBase(this, &r, layer);
}

IMStaticPictureBase<IMTextureView>* IMDialogBase::CreatePicture(
    int x, int y, const std::wstring& name, int layer, std::uint32_t colour)
{
    auto* picture = new IMStaticPictureBase<IMTextureView>(this, layer);
    picture->SetPicture(name);
    picture->SetPosition(x, y);
    picture->colour = colour;
    picture->SetDirty(true);
    return picture;
}

IMStaticPictureBase<IMTextView>* IMDialogBase::CreateText(int x, int y, const std::wstring& text, int layer)
{
    auto* label = new IMStaticPictureBase<IMTextView>(this, layer);
    label->SetText(text);
    label->SetRect(label->GetSourceRect());
    label->SetPosition(x, y);
    return label;
}

IMButtonBase* IMDialogBase::CreateButton(int x, int y, const std::wstring& normal, const std::wstring& disabled,
    const std::wstring& hovered, const std::wstring& pressed, int layer)
{
    auto* button = new IMButtonBase(this, layer);
    button->SetImages(normal, disabled, hovered, pressed);
    button->IMStateView::SetPosition(x, y);
    return button;
}

// ---------------------------------------------------------------------------
// Redraw protocol

void IMDialogBase::SetDirty(bool on)
{
    IMViewControl::SetDirty(on);
    if (!on)
        ForEachChild([](IMControl* child) { child->SetDirty(false); });
}

bool IMDialogBase::IsDirty() const
{
    if (IMViewControl::IsDirty())
        return true;
    for (const auto& [layer, children] : layers)
        for (IMControl* child : children)
            if (child->IsDirty())
                return true;
    return false;
}

bool IMDialogBase::HitTest(Point p) const
{
    return !hidden && GetRect().Contains(p);
}

// ---------------------------------------------------------------------------
// Input

IMMouseEvent IMDialogBase::LocalEvent(const IMMouseEvent& e) const
{
    const Rect r = GetRect();
    return IMMouseEvent(const_cast<IMDialogBase*>(this), e.code, e.wParam, e.x - r.left, e.y - r.top);
}

long IMDialogBase::OnMouseMove(const IMMouseEvent& e)
{
    IMControl::OnMouseMove(e);
    const IMMouseEvent local = LocalEvent(e);
    lastMousePos = {local.x, local.y};
    UpdateHover(local);
    if (hoveredChild)
        hoveredChild->OnMouseMove(local);
    return 0;
}

long IMDialogBase::OnMouseButton(const IMMouseEvent& e)
{
    IMControl::OnMouseButton(e);
    IMControl* hovered = hoveredChild;
    if (!hovered)
        return 0;
    if (e.code == EventCode::LeftDown && hovered != focusedChild && hovered->IsFocusable()) {
        if (focusedChild)
            focusedChild->SetFocus(false);
        hovered->SetFocus(true);
    }
    hovered->OnMouseButton(LocalEvent(e));
    return 0;
}

long IMDialogBase::OnMouseLeave(const IMMouseEvent& e)
{
    IMControl::OnMouseLeave(e);
    if (hoveredChild)
        hoveredChild->OnMouseLeave(e);
    hoveredChild = nullptr;
    return 0;
}

long IMDialogBase::OnKey(const IMKeyboardEvent& e)
{
    IMControl::OnKey(e);
    if (focusedChild)
        focusedChild->OnKey(e);
    return 0;
}

long IMDialogBase::OnFocusLost(const IMEvent& e)
{
    IMControl::OnFocusLost(e);
    ForEachChild([&e](IMControl* child) { child->OnFocusLost(e); });
    return 0;
}

// ---------------------------------------------------------------------------
// Passes

long IMDialogBase::Update(const IMEvent& e)
{
    FlushRemovals();
    for (auto& [layer, children] : pendingChildren) {
        auto& live = layers[layer];
        live.insert(live.end(), children.begin(), children.end());
    }
    pendingChildren.clear();
    OnIdle();
    Emit(Updated, IMEvent(this, EventCode::Update));
    // Slots may add children (pending until the next pass) or detach some
    // (queued), so the live layers stay unchanged while they are walked.
    ForEachChild([&e](IMControl* child) { child->Update(e); });
    FlushRemovals();
    return 0;
}

long IMDialogBase::Draw(const IMEvent& e)
{
    IMRenderDevice* device = GetRenderDevice();
    if (!hidden && device) {
        const Viewport v = device->GetViewport();
        const Rect viewportRect {v.x, v.y, v.x + v.width, v.y + v.height};
        const Point origin = device->drawOrigin;
        const Rect r = GetRect();
        const Rect area {origin.x + r.left, origin.y + r.top, origin.x + r.right, origin.y + r.bottom};
        if (const auto clip = Intersect(viewportRect, area)) {
            device->SetViewport({clip->left, clip->top, clip->Width(), clip->Height(), 0.0f, 1.0f});
            device->drawOrigin = {origin.x + r.left, origin.y + r.top};
            ForEachChild([&e](IMControl* child) { child->Draw(e); });
            device->drawOrigin = origin;
            device->SetViewport(v);
            DrawView();
            SetDirty(false);
            Emit(Painted, IMEvent(this, EventCode::Paint));
        }
    }
    SetDirty(false);
    return 0;
}

long IMDialogBase::Destroy(const IMEvent& e)
{
    ForEachChild([&e](IMControl* child) { child->Destroy(e); });
    return Detach();
}
