#pragma once

namespace tickscope {

// Windows of the analyzer.
enum WindowId {
    kMainWindowId = 1,
    kProgressWindowId = 2,
    kHotSpotsWindowId = 3,
    kComparisonWindowId = 4,
};

// Controls of the main window, of the progress window and of the tool windows.
enum ControlId {
    kBirdsViewImage = 1,
    kReportList = 2,
    kSourceFileList = 3,
    kThreadList = 4,
    kRunsFrame = 5,
    kSourceFilesFrame = 6,
    kThreadsFrame = 7,
    kActionsFrame = 8,
    kProgramCombo = 9,
    kRunList = 10,
    kReportButton = 11,
    kActionsButton = 12,
    kRefreshButton = 13,
    kModeCombo = 14,
    kBirdsViewHelper = 15,
    kTimeScaleButton = 16,
    kHitsScaleButton = 17,
    kProgressImage = 18,
    kHotSpotLineList = 19,
    kHotSpotProcedureList = 20,
    kComparisonLineList = 21,
    kComparisonProcedureList = 22,
};

// The popup menu of check actions (its items are in action_menu.h) and the keyboard
// shortcuts, which arrive as menu events; the hot spots command also comes from the report's
// context menu, the comparison command from the run list's, which also tells when it closes
// (a right click selects a run without loading it).
enum MenuId {
    kActionsMenu = 1000,
    kFindCommand = 2000,
    kFindNextCommand = 2001,
    kHotSpotsCommand = 2002,
    kCompareCommand = 2003,
    kRunMenuClosed = 2004,
    kReportMenu = 3000,
    kRunMenu = 3001,
};

// One event of the analyzer's loop.
enum class EventKind { WindowResized, Control, Menu, WindowClosed, Other };
enum class ControlEventType { LeftClick, RightClick, DoubleClick, Change, Other };

struct AnalyzerEvent {
    EventKind Kind = EventKind::Other;
    int Id = 0; // control id, menu item id or window id
    ControlEventType Type = ControlEventType::Other;
    int MouseY = 0; // vertical mouse position in the main window's client area

    static AnalyzerEvent Control(int id, ControlEventType type, int mouseY = 0) {
        return {EventKind::Control, id, type, mouseY};
    }
    static AnalyzerEvent Menu(int id) { return {EventKind::Menu, id, ControlEventType::Other, 0}; }
    static AnalyzerEvent Resized() {
        return {EventKind::WindowResized, kMainWindowId, ControlEventType::Other, 0};
    }
    static AnalyzerEvent Closed() {
        return {EventKind::WindowClosed, kMainWindowId, ControlEventType::Other, 0};
    }
};

} // namespace tickscope
