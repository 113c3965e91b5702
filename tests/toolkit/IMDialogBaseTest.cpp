// The control tree: insertion and deletion, hover, clicks, focus, keys, passes.

#include "support/HeadlessDisplay.h"
#include "support/ToolkitHarness.h"

#include <gtest/gtest.h>

namespace {

class ControlTree : public ::testing::Test {
protected:
    ControlTree()
        : root(nullptr, nullptr, 0)
        , drive(root)
    {
    }
    ~ControlTree() override { root.Destroy(IMEvent(nullptr, EventCode::Close)); }

    // A control at r, live after one update pass, watched as name.
    TestControl* Live(Rect r, const std::string& name, int layer = 0)
    {
        auto* c = new TestControl(&root, layer, r, name, &deaths);
        drive.Turn();
        log.Watch(c, name);
        return c;
    }

    std::vector<std::string> deaths;
    IMDialogBase root;
    RootDriver drive;
    SignalLog log;
};

}  // namespace

TEST_F(ControlTree, PendingChildIsInertUntilTheNextUpdatePass)
{
    auto* c = new TestControl(&root, 0, {0, 0, 100, 100}, "c");
    log.Watch(c, "c");
    drive.Move(10, 10);
    EXPECT_EQ(root.hoveredChild, nullptr);
    EXPECT_TRUE(root.layers.empty());
    // Direct calls still work on a pending child.
    c->OnMouseEnter(IMMouseEvent(nullptr, EventCode::MouseEnter, 0, 1, 1));
    EXPECT_TRUE(log.Has("c:MouseEntered:523"));

    drive.Turn();
    drive.Move(11, 10);
    EXPECT_EQ(root.hoveredChild, c);
}

TEST_F(ControlTree, LaterAndHigherChildrenWinTheHitTest)
{
    auto* upper = Live({0, 0, 100, 100}, "upper", 5);
    auto* early = Live({0, 0, 100, 100}, "early");
    auto* late = Live({0, 0, 100, 100}, "late");
    drive.Move(50, 50);
    EXPECT_EQ(root.hoveredChild, upper);
    upper->Hide();
    EXPECT_EQ(root.hoveredChild, late) << "hover follows a hide without a mouse move";
    EXPECT_NE(root.hoveredChild, early);
}

TEST_F(ControlTree, EnterComesBeforeLeave)
{
    Live({0, 0, 50, 50}, "a");
    Live({50, 0, 100, 50}, "b");
    drive.Move(10, 10);
    log.Clear();
    drive.Move(60, 10);
    ASSERT_TRUE(log.Has("b:MouseEntered:523"));
    ASSERT_TRUE(log.Has("a:MouseLeft:675"));
    EXPECT_LT(log.IndexOf("b:MouseEntered:523"), log.IndexOf("a:MouseLeft:675"));
}

TEST_F(ControlTree, HoverFollowsControlsUnderARestingMouse)
{
    auto* c = Live({0, 0, 50, 50}, "c");
    drive.Move(10, 10);
    EXPECT_TRUE(c->IsHovered());
    c->SetRect({100, 100, 150, 150});  // moved away from under the mouse
    EXPECT_FALSE(c->IsHovered());
    EXPECT_TRUE(log.Has("c:MouseLeft:675"));
    c->SetRect({0, 0, 50, 50});  // and back
    EXPECT_TRUE(c->IsHovered());
    c->Hide();
    EXPECT_FALSE(c->IsHovered());
    c->Show();
    EXPECT_TRUE(c->IsHovered());
}

TEST_F(ControlTree, PressOnOneReleaseOnAnotherIsNoClick)
{
    Live({0, 0, 50, 50}, "a");
    Live({50, 0, 100, 50}, "b");
    drive.Move(10, 10);
    drive.Press(10, 10);
    drive.Move(60, 10, MouseKey::Left);
    drive.Release(60, 10);
    EXPECT_FALSE(log.Has("a:Clicked:524"));
    EXPECT_FALSE(log.Has("b:Clicked:524"));

    drive.Click(60, 10);
    EXPECT_TRUE(log.Has("b:Clicked:524"));
}

TEST_F(ControlTree, ClickCodesPerButton)
{
    Live({0, 0, 50, 50}, "c");
    drive.Move(10, 10);
    drive.Press(10, 10, EventCode::RightDown, MouseKey::Right);
    drive.Release(10, 10, EventCode::RightUp, 0);
    drive.Press(10, 10, EventCode::MiddleDown, MouseKey::Middle);
    drive.Release(10, 10, EventCode::MiddleUp, 0);
    EXPECT_TRUE(log.Has("c:Clicked:525"));
    EXPECT_TRUE(log.Has("c:Clicked:526"));
}

TEST_F(ControlTree, DisabledControlHearsTheMouseButDoesNotClick)
{
    auto* c = Live({0, 0, 50, 50}, "c");
    c->Disable();
    drive.Move(10, 10);
    drive.Click(10, 10);
    drive.Press(10, 10, EventCode::LeftDoubleClick);
    drive.Key(EventCode::KeyDown, 65);  // not focused: keys do not reach it
    drive.Move(200, 200);
    EXPECT_TRUE(log.Has("c:MouseEntered:523"));
    EXPECT_TRUE(log.Has("c:MouseMoved:512"));
    EXPECT_TRUE(log.Has("c:MouseLeft:675"));
    EXPECT_FALSE(log.Has("c:MouseButton:513"));
    EXPECT_FALSE(log.Has("c:Clicked:524"));
    EXPECT_FALSE(log.Has("c:DoubleClicked:515"));
    // Keyboard signals do not depend on enabling.
    c->OnKey(IMKeyboardEvent(nullptr, EventCode::KeyDown, 65, 0));
    EXPECT_TRUE(log.Has("c:KeyDown:256:65"));
}

TEST_F(ControlTree, DoubleClickSequence)
{
    Live({0, 0, 50, 50}, "c");
    drive.Click(10, 10);
    log.Clear();
    drive.Press(10, 10, EventCode::LeftDoubleClick);
    drive.Release(10, 10);
    const std::vector<std::string> expected {
        "c:MouseButton:515", "c:DoubleClicked:515", "c:Clicked:524", "c:MouseButton:514"};
    EXPECT_EQ(log.lines, expected);
}

TEST_F(ControlTree, WheelPressesOnlyWithOneButtonInTheLowWord)
{
    auto* c = Live({0, 0, 50, 50}, "c");
    drive.Move(10, 10);
    drive.Press(10, 10, EventCode::Wheel, (120u << 16) | 3u);
    EXPECT_FALSE(c->IsPressed());
    drive.Press(10, 10, EventCode::Wheel, (120u << 16) | 1u);
    EXPECT_TRUE(c->IsPressed());
}

TEST_F(ControlTree, FocusMovesOnlyToFocusableChildrenAndReachesTheRoot)
{
    auto* plain = Live({0, 0, 50, 50}, "plain");
    const Rect panelRect {100, 0, 300, 200};
    auto* panel = new IMDialogBase(&root, &panelRect, 0);
    drive.Turn();
    auto* field = new TestControl(panel, 0, {10, 10, 50, 50}, "field");
    field->SetFocusable(true);
    drive.Turn();
    log.Watch(field, "field");

    drive.Click(10, 10);
    EXPECT_EQ(root.focusedChild, nullptr) << "a non-focusable child leaves the focus alone";
    EXPECT_FALSE(plain->HasFocus());

    drive.Click(120, 20);
    EXPECT_TRUE(field->HasFocus());
    EXPECT_EQ(panel->focusedChild, field);
    EXPECT_EQ(root.focusedChild, panel);
    EXPECT_TRUE(root.HasFocus()) << "the focus chain extends up to the root";

    // Keys run down the focus chain.
    drive.Key(EventCode::KeyDown, 13);
    drive.Key(EventCode::Char, 0x0416);
    EXPECT_TRUE(log.Has("field:KeyDown:256:13"));
    EXPECT_TRUE(log.Has("field:KeyMessage:258:1046"));

    // A subtree loses focus with its root.
    panel->SetFocus(false);
    EXPECT_FALSE(field->HasFocus());
    EXPECT_EQ(root.focusedChild, nullptr);
}

TEST_F(ControlTree, ScreenClosingItselfFromItsButtonIsDeletedAtTheNextPass)
{
    auto* screen = new TestDialog(&root, nullptr, 0, "screen", &deaths);
    auto* button = new TestControl(screen, 0, {10, 10, 60, 40}, "button", &deaths);
    new TestControl(screen, 0, {100, 10, 160, 40}, "label", &deaths);
    bool closed = false;
    screen->ConnectClosing(Tracked<EventSlot>(&root, [&](const IMEvent&) { return closed = true, 0L; }));
    button->ConnectClicked(Tracked<MouseSlot>(screen, [screen](const IMMouseEvent&) { return screen->Close(); }));
    drive.Turn();
    drive.Turn();

    drive.Click(20, 20);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(deaths.empty()) << "nothing is deleted while the slot runs";
    drive.Turn();
    const std::vector<std::string> expected {"label", "button", "screen"};
    EXPECT_EQ(deaths, expected) << "children are deleted before the dialog";
    EXPECT_TRUE(root.layers.empty());
    EXPECT_EQ(root.hoveredChild, nullptr);
}

TEST_F(ControlTree, PendingChildrenOfAClosedDialogAreDeletedWithIt)
{
    auto* screen = new TestDialog(&root, nullptr, 0, "screen", &deaths);
    drive.Turn();
    // Created in a slot and closed before the next update pass.
    new TestControl(screen, 0, {0, 0, 10, 10}, "late", &deaths);
    screen->Close();
    drive.Turn();
    EXPECT_EQ(deaths, (std::vector<std::string> {"screen", "late"}));
}

TEST_F(ControlTree, DetachingAPendingChildDeletesItAtOnce)
{
    auto* c = new TestControl(&root, 3, {0, 0, 10, 10}, "c", &deaths);
    c->Close();
    EXPECT_EQ(deaths, std::vector<std::string> {"c"});
    EXPECT_TRUE(root.pendingChildren.empty());
}

TEST_F(ControlTree, SlotOfADeadControlNeverRuns)
{
    auto* screen = new IMDialogBase(&root, nullptr, 0);
    auto* source = Live({0, 0, 50, 50}, "source");
    int runs = 0;
    source->ConnectClicked(Tracked<MouseSlot>(screen, [&runs, screen](const IMMouseEvent&) {
        screen->GetRect();  // would touch freed memory if it ran after the screen's death
        return long(++runs);
    }));
    drive.Click(10, 10);
    EXPECT_EQ(runs, 1);
    screen->Close();
    drive.Turn();
    drive.Click(10, 10);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(log.Has("source:Clicked:524"));
}

TEST_F(ControlTree, BlockedConnectionIsSkipped)
{
    auto* c = Live({0, 0, 50, 50}, "c");
    int runs = 0;
    IMConnection connection
        = c->ConnectClicked(Tracked<MouseSlot>(&root, [&](const IMMouseEvent&) { return long(++runs); }));
    {
        IMConnectionBlock block(connection);
        drive.Click(10, 10);
    }
    drive.Click(10, 10);
    EXPECT_EQ(runs, 1);
}

TEST_F(ControlTree, SetChildLayerMovesALiveChildOnTop)
{
    auto* a = Live({0, 0, 50, 50}, "a", 0);
    auto* b = Live({0, 0, 50, 50}, "b", 1);
    drive.Move(10, 10);
    EXPECT_EQ(root.hoveredChild, b);
    root.SetChildLayer(a, 2);
    EXPECT_EQ(root.GetLayerOf(a), 2);
    EXPECT_EQ(root.layers.count(0), 0u) << "an emptied layer is erased";
    drive.Move(11, 10);
    EXPECT_EQ(root.hoveredChild, a);

    // A pending child keeps its pending layer.
    auto* pending = new TestControl(&root, 0, {0, 0, 5, 5});
    root.SetChildLayer(pending, 7);
    EXPECT_EQ(root.layers.count(7), 0u);
}

TEST_F(ControlTree, DirtyFlagsAndUpdateOrder)
{
    auto* c = Live({0, 0, 50, 50}, "c");
    root.SetDirty(false);
    EXPECT_FALSE(root.IsDirty());
    c->SetPosition(5, 5);
    EXPECT_TRUE(root.IsDirty()) << "a dirty child makes its dialog dirty";
    root.SetDirty(false);
    EXPECT_FALSE(c->IsDirty()) << "clearing the root clears the tree";
    c->SetPosition(5, 5);
    EXPECT_FALSE(root.IsDirty()) << "moving to the same place changes nothing";

    std::vector<std::string> order;
    root.Updated.connect(Tracked<EventSlot>(&root, [&](const IMEvent&) { return order.push_back("root"), 0L; }));
    c->Updated.connect(Tracked<EventSlot>(&root, [&](const IMEvent&) { return order.push_back("child"), 0L; }));
    drive.Turn();
    EXPECT_EQ(order, (std::vector<std::string> {"root", "child"}));
}

TEST(ControlTreePaint, ChildrenAreClippedAndOriginRestored)
{
    HeadlessDisplay display;
    IMRenderDevice device;
    ASSERT_EQ(device.InitDevice(75, &display.Window(), true, 800, 600), 0);
    SetRenderDevice(&device);
    {
        IMDialogBase root(nullptr, nullptr, 0);
        RootDriver drive(root);
        const Rect panelRect {100, 100, 200, 150};
        auto* panel = new IMDialogBase(&root, &panelRect, 0);
        auto* child = new TestControl(panel, 0, {10, 10, 300, 300}, "child");
        drive.Turn();
        drive.Turn();
        std::vector<std::string> order;
        Viewport seen;
        Point origin;
        child->Painted.connect(Tracked<EventSlot>(&root, [&](const IMEvent&) {
            seen = device.GetViewport();
            origin = device.drawOrigin;
            order.push_back("child");
            return 0L;
        }));
        panel->Painted.connect(Tracked<EventSlot>(&root, [&](const IMEvent&) { return order.push_back("panel"), 0L; }));
        device.BeginFrame();
        drive.Paint();
        EXPECT_EQ(order, (std::vector<std::string> {"child", "panel"}));
        EXPECT_EQ(seen.x, 100);
        EXPECT_EQ(seen.y, 100);
        EXPECT_EQ(seen.width, 100);
        EXPECT_EQ(seen.height, 50);
        EXPECT_EQ(origin, (Point {100, 100}));
        EXPECT_EQ(device.drawOrigin, (Point {0, 0}));
        EXPECT_EQ(device.GetViewport().width, 800);
        EXPECT_FALSE(root.IsDirty());
        root.Destroy(IMEvent(nullptr, EventCode::Close));
    }
    SetRenderDevice(nullptr);
}
