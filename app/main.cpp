// Звонкары: opens the window and shows the black back buffer until Esc or
// until the window is closed.

#include "app/events/IMEvent.h"
#include "platform/DebugOutput.h"
#include "platform/Messages.h"
#include "platform/PlatformWindow.h"
#include "render/IMRenderDevice.h"

#include <cstdio>
#include <exception>

int main()
{
    std::string error;
    auto window = PlatformWindow::Create(L"Звонкары", true, &error);
    if (!window) {
        std::fprintf(stderr, "zvonkary: %s\n", error.c_str());
        return 1;
    }
    IMRenderDevice render;
    try {
        if (render.InitDevice(75, window.get(), false, 800, 600) != 0) {
            std::fprintf(stderr, "zvonkary: Не могу создать устройство Direct3D\n");
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zvonkary: %s\n", e.what());
        return 1;
    }
    window->Show();
    for (;;) {
        Msg msg;
        while (PeekMessage(msg, window->GetLetterbox())) {
            if (msg.message == WM_CLOSE || msg.message == WM_QUIT ||
                (msg.message == EventCode::KeyDown && msg.wParam == VirtualKey::Escape))
                return 0;
        }
        render.BeginFrame();
        render.EndFrame();
        WaitMessage(10);
    }
}
