#include "toolkit/IMTextView.h"

#include "data/EmbeddedData.h"

#include <algorithm>

namespace {

constexpr wchar_t LineFeed = 10;
constexpr wchar_t CarriageReturn = 13;
constexpr wchar_t Tab = 9;
const wchar_t* const TransparentMark = L"mark_transparent";

bool EndsLine(wchar_t c)
{
    return c == LineFeed || c == CarriageReturn;
}

Rect ImageOf(TextureHandle handle)
{
    const IMResourceManager* manager = GetResourceManager();
    return manager ? manager->ImageRect(handle) : Rect {};
}

}  // namespace

std::wstring GlyphCacheKey(const IMGlyph& g)
{
    return g.face + std::wstring(1, g.ch) + std::to_wstring(g.size) + std::to_wstring(std::int32_t(g.colour))
        + std::to_wstring(int(g.bold)) + std::to_wstring(int(g.underline)) + std::to_wstring(int(g.italic))
        + std::to_wstring(std::int32_t(g.backColour)) + L"0";
}

IMTextView::~IMTextView()
{
    for (auto& glyph : glyphs)
        ReleasePicture(*glyph);
}

void IMTextView::ApplyStyle(IMGlyph& glyph) const
{
    glyph.colour = textColour;
    glyph.underline = underline;
    glyph.bold = bold;
    glyph.italic = italic;
    glyph.size = fontSize;
    glyph.face = fontFace;
    glyph.backColour = backColour;
    glyph.cacheKey = GlyphCacheKey(glyph);
}

std::unique_ptr<IMGlyph> IMTextView::MakeGlyph(wchar_t c) const
{
    auto glyph = std::make_unique<IMGlyph>();
    glyph->ch = c;
    ApplyStyle(*glyph);
    return glyph;
}

void IMTextView::RequestPicture(IMGlyph& glyph)
{
    IMResourceManager* manager = GetResourceManager();
    glyph.texture = NoTexture;
    if (!manager)
        return;
    TextureHandle made;
    if (glyph.ch == LineFeed) {
        made = manager->LoadTextureFromMemory(TransparentMark, FindEmbedded(std::wstring_view(TransparentMark)));
    } else {
        // Tabs and carriage returns show as spaces of the same style.
        const wchar_t drawn = (glyph.ch == Tab || glyph.ch == CarriageReturn) ? L' ' : glyph.ch;
        made = manager->CreateGlyphTexture(glyph.cacheKey, drawn, glyph.colour, glyph.size, glyph.face, glyph.italic,
            glyph.bold, glyph.underline, glyph.backColour);
    }
    // A picture that could not be made is not held: its number names the next slot.
    if (manager->IsLive(made))
        glyph.texture = made;
}

void IMTextView::ReleasePicture(IMGlyph& glyph)
{
    if (IMResourceManager* manager = GetResourceManager())
        manager->ReleaseTexture(glyph.texture);
}

void IMTextView::SetText(const std::wstring& text)
{
    for (auto& glyph : glyphs)
        ReleasePicture(*glyph);
    glyphs.clear();
    SetSourceRect({0, 0, 0, 0});
    InsertText(0, text);
}

std::wstring IMTextView::GetText() const
{
    std::wstring text;
    text.reserve(glyphs.size());
    for (const auto& glyph : glyphs)
        text.push_back(glyph->ch);
    return text;
}

void IMTextView::InsertText(int position, const std::wstring& text)
{
    if (position < 0 || position > GlyphCount())
        return;
    std::vector<std::unique_ptr<IMGlyph>> inserted;
    inserted.reserve(text.size());
    for (wchar_t c : text) {
        auto glyph = MakeGlyph(c);
        RequestPicture(*glyph);
        inserted.push_back(std::move(glyph));
    }
    glyphs.insert(
        glyphs.begin() + position, std::make_move_iterator(inserted.begin()), std::make_move_iterator(inserted.end()));
    Layout(position);
}

void IMTextView::EraseText(int position, int count)
{
    if (position < 0 || position > GlyphCount())
        return;
    const int end = std::min(GlyphCount(), position + std::max(0, count));
    for (int i = position; i < end; ++i)
        ReleasePicture(*glyphs[i]);
    glyphs.erase(glyphs.begin() + position, glyphs.begin() + end);
    Layout(position);
}

void IMTextView::SetStyle(const std::uint32_t* colour, const bool* under, const bool* isBold, const bool* isItalic,
    const int* size, const std::wstring* face, const std::uint32_t* back)
{
    if (colour)
        textColour = *colour;
    if (under)
        underline = *under;
    if (isBold)
        bold = *isBold;
    if (isItalic)
        italic = *isItalic;
    if (size)
        fontSize = *size;
    if (face)
        fontFace = *face;
    if (back)
        backColour = *back;
    bool resized = false;
    for (auto& glyph : glyphs) {
        const Rect before = ImageOf(glyph->texture);
        const TextureHandle old = glyph->texture;
        ApplyStyle(*glyph);
        // Requested before the old one is released: an unchanged key hands back the same picture.
        RequestPicture(*glyph);
        if (IMResourceManager* manager = GetResourceManager())
            manager->ReleaseTexture(old);
        if (ImageOf(glyph->texture) != before)
            resized = true;
    }
    if (resized)
        Layout(0);
    SetDirty(true);
}

// ---------------------------------------------------------------------------
// Layout

void IMTextView::Layout(int from)
{
    from = std::clamp(from, 0, GlyphCount());
    if (from == 0)
        lineStarts.assign(1, 0);
    else
        lineStarts.erase(std::remove_if(lineStarts.begin(), lineStarts.end(), [from](int s) { return s >= from; }),
            lineStarts.end());
    if (lineStarts.empty())
        lineStarts.push_back(0);

    const int count = GlyphCount();
    if (!wrap) {
        int x = from > 0 ? glyphs[from - 1]->rect.right : 0;
        for (int j = from; j < count; ++j) {
            const Rect image = ImageOf(glyphs[j]->texture);
            glyphs[j]->rect = {x, 0, x + image.Width(), image.Height()};
            x += image.Width();
        }
        SetSourceRect(LaidOutExtent());
        return;
    }

    // The running state continues after the glyphs that keep their places.
    const int width = GetWidth();
    int lineStart = lineStarts.back();
    int x = 0, y = 0, lineHeight = minLineHeight, lastSpace = -1;
    if (from > 0) {
        const IMGlyph& previous = *glyphs[from - 1];
        y = previous.rect.top;
        for (int k = lineStart; k < from; ++k) {
            lineHeight = std::max(lineHeight, glyphs[k]->rect.Height());
            if (glyphs[k]->ch == L' ')
                lastSpace = k;
        }
        x = previous.rect.right;
        if (EndsLine(previous.ch)) {
            y += lineHeight;
            lineHeight = minLineHeight;
            x = 0;
            lastSpace = -1;
            lineStart = from;
            lineStarts.push_back(from);
        }
    }
    for (int j = from; j < count; ++j) {
        const Rect image = ImageOf(glyphs[j]->texture);
        const int w = image.Width(), h = image.Height();
        lineHeight = std::max(lineHeight, h);
        if (x + w > width && x > 0) {
            y += lineHeight;
            lineHeight = minLineHeight;
            x = 0;
            // Break after the last space of the line, moving the word down with j.
            lineStart = lastSpace >= lineStart ? lastSpace + 1 : j;
            lineStarts.push_back(lineStart);
            lastSpace = -1;
            for (int k = lineStart; k <= j; ++k) {
                const Rect moved = ImageOf(glyphs[k]->texture);
                glyphs[k]->rect = {x, y, x + moved.Width(), y + moved.Height()};
                x += moved.Width();
                lineHeight = std::max(lineHeight, moved.Height());
            }
        } else {
            glyphs[j]->rect = {x, y, x + w, y + h};
            x += w;
        }
        if (glyphs[j]->ch == L' ')
            lastSpace = j;
        if (EndsLine(glyphs[j]->ch)) {
            y += lineHeight;
            lineHeight = minLineHeight;
            x = 0;
            lastSpace = -1;
            lineStart = j + 1;
            lineStarts.push_back(j + 1);
        }
    }
    Rect extent = LaidOutExtent();
    if (count > 0)
        extent.bottom = std::max(extent.bottom, y + lineHeight);
    SetSourceRect(extent);
}

Rect IMTextView::LaidOutExtent() const
{
    Rect extent;
    for (const auto& glyph : glyphs) {
        extent.right = std::max(extent.right, glyph->rect.right);
        extent.bottom = std::max(extent.bottom, glyph->rect.bottom);
    }
    return extent;
}

// ---------------------------------------------------------------------------
// Drawing

void IMTextView::Draw()
{
    IMResourceManager* manager = GetResourceManager();
    if (!manager || glyphs.empty()) {
        dirty = false;
        return;
    }
    const Viewport v = manager->GetViewport();
    const Point origin = manager->drawOrigin;
    const Rect r = GetRect();
    const Rect area {origin.x + r.left, origin.y + r.top, origin.x + r.right, origin.y + r.bottom};
    const auto clip = Intersect({v.x, v.y, v.x + v.width, v.y + v.height}, area);
    if (!clip) {
        dirty = false;
        return;
    }
    manager->SetViewport({clip->left, clip->top, clip->Width(), clip->Height(), 0.0f, 1.0f});
    manager->drawOrigin = {area.left, area.top};

    // Lines whose first glyph lies past the end (after a final line feed) hold nothing.
    const int count = GlyphCount();
    const int lines = int(std::upper_bound(lineStarts.begin(), lineStarts.end(), count - 1) - lineStarts.begin());
    auto lineTop = [&](int line) { return area.top + glyphs[lineStarts[line]]->rect.top; };
    // First line: the last one whose top is not below the clip's top.
    int first = 0;
    for (int lo = 0, hi = lines; hi - lo >= 2;) {
        const int mid = (lo + hi) / 2;
        if (lineTop(mid) <= clip->top)
            lo = first = mid;
        else
            hi = mid;
    }
    // End line: the first one whose top is not above the clip's bottom.
    int end = lines;
    for (int lo = first, hi = lines; lo < hi;) {
        const int mid = (lo + hi) / 2;
        if (lineTop(mid) >= clip->bottom)
            hi = end = mid;
        else
            lo = mid + 1;
    }
    const int firstGlyph = lineStarts[first];
    const int endGlyph = end >= lines ? count : lineStarts[end];
    for (int i = firstGlyph; i < endGlyph; ++i)
        manager->DrawTexture(glyphs[i]->texture, glyphs[i]->rect, nullptr, 0xFFFFFFFF, 0.0f);

    manager->drawOrigin = origin;
    manager->SetViewport(v);
    dirty = false;
}

// ---------------------------------------------------------------------------
// Queries

wchar_t IMTextView::GetGlyphChar(int i) const
{
    return i >= 0 && i < GlyphCount() ? glyphs[i]->ch : 0;
}
Rect IMTextView::GetGlyphRect(int i) const
{
    return i >= 0 && i < GlyphCount() ? glyphs[i]->rect : Rect {};
}
std::uint32_t IMTextView::GetGlyphColour(int i) const
{
    return i >= 0 && i < GlyphCount() ? glyphs[i]->colour : 0;
}
std::wstring IMTextView::GetGlyphFace(int i) const
{
    return i >= 0 && i < GlyphCount() ? glyphs[i]->face : L"";
}
