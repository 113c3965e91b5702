#pragma once
// The video view: a picture view showing the frames of an Ogg Theora clip
// held in memory. Two textures of the texture table take turns: the one on
// screen and the one the next frame is decoded into, so decoding runs one
// frame ahead of the picture. Frames are decoded on the caller's thread (the
// main thread), only when asked for; those the clock has already passed are
// decoded without being converted.
//
// A clip that breaks in the middle ends on its last good frame: the error is
// logged and the last frame becomes known, so the control finishes as usual.

#include "media/video/IMAnimationView.h"
#include "media/video/TheoraClip.h"
#include "platform/AudioWakeEvent.h"
#include "toolkit/IMTextureView.h"

#include <climits>
#include <cstddef>
#include <exception>

class IMTheoraView : public IMTextureView, public IMAnimationView {
public:
    // lastFrame while the end of the clip has not been seen.
    static constexpr int UnknownLastFrame = INT_MAX;

    IMTheoraView();
    ~IMTheoraView() override;

    // Takes the clip (not copied: the bytes must stay valid while the view
    // lives), reads its headers, creates the two textures, shows the blank one
    // and decodes frame 0 into the other. Raises std::runtime_error with a
    // text listed in TheoraClip.h; the view then shows nothing and has no
    // frames. A second call replaces the clip.
    void OpenVideo(const unsigned char* data, std::size_t size);

    // Gives back the textures and the decoder's memory at once, for a screen
    // that is closing while the next one is being built: the view then shows
    // nothing and its last frame is the one it showed.
    void CloseVideo();

    void ShowFrame(int n) override;
    int GetCurrentFrame() const override { return currentFrame; }
    int GetFirstFrame() const override { return firstFrame; }
    int GetLastFrame() const override { return lastFrame; }
    void SetFirstFrame(int n) override { firstFrame = n; }
    void SetLastFrame(int n) override { lastFrame = n; }

    // The two textures: the one on screen and the one being decoded into.
    TextureHandle FrontTexture() const { return frontTexture; }
    TextureHandle BackTexture() const { return backTexture; }
    bool HasTextures() const { return hasTextures; }
    // How far decoding has got, and how many frames were converted so far:
    // frames the clock passed count in the first but not in the second.
    int MaxDecoded() const { return maxDecoded; }
    int ConvertedFrames() const { return convertedFrames; }

private:
    void CreateTextures(int width, int height);
    void ReleaseTextures();
    void DecodeUpToTarget();
    void ConvertInto(TextureHandle target);
    bool MayUpload() const;
    void EndAt(int frame);
    void EndAtLastGoodFrame(const std::exception& error);

    TheoraClip clip;                   // the Ogg and Theora state, the clip's bytes and read position
    int currentFrame = 0;              // the frame last shown
    int lastFrame = UnknownLastFrame;  // known once the decoder meets the end of the data (or a broken frame)
    int firstFrame = 0;                // never changed by the program
    TextureHandle frontTexture = 0;    // on screen
    TextureHandle backTexture = 0;     // decoded into
    bool hasTextures = false;          // both handles hold a reference of this view
    int texturePitch = 0;              // row pitch of the textures in bytes
    int maxDecoded = 0;                // one past the highest frame decoded so far
    int decodedFrame = -1;             // the frame last decoded (held in backTexture when converted)
    int targetFrame = 0;               // the frame the next decode must reach
    int convertedFrames = 0;           // conversions into a texture since construction
    // Order the show and decode steps. Both steps run in the same call on one
    // thread, so every wait finds its event set; the waits never block.
    AutoResetEvent decodeRequest;
    AutoResetEvent frameReady;
};
