#pragma once
// The frame interface of an animated picture: which frame is on screen, the
// range of frames that plays, and a way to show any frame of it. The clip
// control (IMAnimationBase) drives its view through these six operations.

class IMAnimationView {
public:
    // Shows frame n and prepares the frame after it.
    virtual void ShowFrame(int n) = 0;
    // The frame last shown; 0 before any.
    virtual int GetCurrentFrame() const = 0;
    virtual int GetFirstFrame() const = 0;
    // The last frame; 2147483647 while the end of the clip has not been seen.
    virtual int GetLastFrame() const = 0;
    virtual void SetFirstFrame(int n) = 0;
    virtual void SetLastFrame(int n) = 0;

protected:
    // Views are destroyed through their control, never through this interface.
    ~IMAnimationView() = default;
};
