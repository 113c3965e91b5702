#include "media/video/IMTheoraView.h"

#include "platform/DebugOutput.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>

namespace {

// Gives every view its own pair of texture names.
std::atomic<unsigned> textureCounter {0};

// The events are only ever waited for when they are already set (see the header).
constexpr std::chrono::milliseconds NoWait {0};

// Sets the event when the scope ends, however it ends.
class SetOnExit {
public:
    explicit SetOnExit(AutoResetEvent& event)
        : event(event)
    {
    }
    ~SetOnExit() { event.Set(); }
    SetOnExit(const SetOnExit&) = delete;
    SetOnExit& operator=(const SetOnExit&) = delete;

private:
    AutoResetEvent& event;
};

}  // namespace

IMTheoraView::IMTheoraView() = default;

IMTheoraView::~IMTheoraView()
{
    frameReady.Wait(NoWait);
    ReleaseTextures();
}

// ---------------------------------------------------------------------------
// Opening

void IMTheoraView::OpenVideo(const unsigned char* data, std::size_t size)
{
    const SetOnExit ready(frameReady);
    ReleaseTextures();
    // Until the clip has shown it has frames, it has none.
    currentFrame = 0;
    lastFrame = -1;
    decodedFrame = -1;
    maxDecoded = 0;
    targetFrame = 0;
    clip.Open(data, size);
    CreateTextures(clip.PictureWidth(), clip.PictureHeight());
    lastFrame = UnknownLastFrame;
    try {
        if (!clip.NextFrame()) {
            lastFrame = -1;  // headers without a single frame
            return;
        }
    } catch (...) {
        lastFrame = -1;
        clip.Close();
        ReleaseTextures();
        throw;
    }
    decodedFrame = 0;
    maxDecoded = 1;
    if (MayUpload())
        ConvertInto(backTexture);
}

void IMTheoraView::CreateTextures(int width, int height)
{
    IMResourceManager* manager = GetResourceManager();
    if (!manager)
        return;
    const std::wstring number = std::to_wstring(textureCounter++);
    const TextureHandle front
        = manager->CreateBlankTexture(L"IMTheoraView1" + number, width, height, PixelFormat::X8R8G8B8);
    const TextureHandle back
        = manager->CreateBlankTexture(L"IMTheoraView2" + number, width, height, PixelFormat::X8R8G8B8);
    // A failed handle may name another texture later: keep none of them.
    if (!manager->GetRecord(front) || !manager->GetRecord(back)) {
        OutputDebugString(L"IMTheoraView: no textures for the clip " + number);
        if (manager->GetRecord(front))
            manager->ReleaseTexture(front);
        if (manager->GetRecord(back))
            manager->ReleaseTexture(back);
        return;
    }
    frontTexture = front;
    backTexture = back;
    hasTextures = true;
    SetImage(frontTexture);
    SetSourceRect({0, 0, width, height});
    texturePitch = manager->GetTexturePitch(frontTexture);
}

void IMTheoraView::ReleaseTextures()
{
    if (!hasTextures)
        return;
    hasTextures = false;
    IMResourceManager* manager = GetResourceManager();
    if (!manager)
        return;
    // The picture view's own reference goes too, so a failed clip shows nothing.
    if (hasTexture && (texture == frontTexture || texture == backTexture)) {
        manager->ReleaseTexture(texture);
        hasTexture = false;
        SetDirty(true);
    }
    manager->ReleaseTexture(frontTexture);
    manager->ReleaseTexture(backTexture);
}

void IMTheoraView::CloseVideo()
{
    ReleaseTextures();
    clip.Close();
    lastFrame = currentFrame;
}

// ---------------------------------------------------------------------------
// Showing and decoding

void IMTheoraView::ShowFrame(int n)
{
    frameReady.Wait(NoWait);
    currentFrame = n;
    // The back texture holds the frame decoded during the previous call.
    if (hasTextures)
        SetImage(backTexture);
    targetFrame = n < INT_MAX ? n + 1 : n;
    std::swap(frontTexture, backTexture);
    decodeRequest.Set();
    DecodeUpToTarget();
}

void IMTheoraView::DecodeUpToTarget()
{
    const SetOnExit ready(frameReady);
    decodeRequest.Wait(NoWait);
    if (!clip.IsOpen())
        return;
    try {
        // The clip restarts or runs backwards: decoding starts again from the headers.
        if (targetFrame < decodedFrame) {
            clip.Rewind();
            decodedFrame = -1;
        }
        // Up to the last frame itself once it is known (a replay shows it too).
        while (decodedFrame < targetFrame && targetFrame <= lastFrame) {
            if (!clip.NextFrame()) {
                EndAt(decodedFrame);
                break;
            }
            ++decodedFrame;
            maxDecoded = std::max(maxDecoded, decodedFrame + 1);
        }
    } catch (const std::exception& error) {
        EndAtLastGoodFrame(error);
        return;
    }
    // Frames the clock has passed were decoded above but are never converted.
    if (decodedFrame == targetFrame && MayUpload())
        ConvertInto(backTexture);
}

void IMTheoraView::EndAt(int frame)
{
    lastFrame = std::min(lastFrame, frame);
    // A frame asked for beyond the end (after a stall) leaves the last one current.
    currentFrame = std::min(currentFrame, lastFrame);
}

void IMTheoraView::EndAtLastGoodFrame(const std::exception& error)
{
    EndAt(decodedFrame);
    OutputDebugString(
        "IMTheoraView: " + std::string(error.what()) + " - the clip ends at frame " + std::to_string(lastFrame));
}

bool IMTheoraView::MayUpload() const
{
    IMResourceManager* manager = GetResourceManager();
    return hasTextures && manager && !manager->IsDeviceLost();
}

void IMTheoraView::ConvertInto(TextureHandle target)
{
    const YuvFrame frame = clip.Picture();
    const Rect picture = clip.PictureRect();
    GetResourceManager()->UpdateTexture(target, [&frame, &picture](std::uint8_t* bits, int pitch, int rows) {
        ConvertYuvToXrgb(frame, picture, bits, pitch, rows);
    });
    ++convertedFrames;
}
