// Find and Find next in the code column, the full-red thresholds and the column buttons.
#include "scripted_requesters.h"
#include "ui/report_commands.h"

#include <QTest>

using namespace tickscope;
using tickscope::testing::ScriptedRequesters;

namespace {
ListData Report(const std::vector<std::string>& codes) {
    AnalyzerLists lists;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        lists.ReportList.AddRow({"", "1", std::to_string(i + 1), "", "", codes[i]});
    }
    return lists.ReportList;
}
Rgb CodeBackground(const ListData& report, int row) {
    return report.Rows[static_cast<std::size_t>(row)].Cells[kCodeColumn].Background;
}
std::vector<int> YellowRows(const ListData& report) {
    std::vector<int> rows;
    for (std::size_t i = 0; i < report.Rows.size(); ++i) {
        if (report.Rows[i].Cells[kCodeColumn].Background == kFindMark) {
            rows.push_back(static_cast<int>(i));
        }
    }
    return rows;
}
const std::vector<std::string> kCode = {"a = 1",     "Foo(a)",       "Procedure Foo(x)",
                                        "  Debug x", "EndProcedure", "foo(2) ; FOO again"};
const std::string kNoMore = "No more matches!\nNext search will start from the beginning again.";
} // namespace

class ReportCommandsTest : public QObject {
    Q_OBJECT
  private slots:
    void findSequences_data();
    void findSequences();
    void emptyAnswerKeepsThePreviousMark();
    void findNextBeforeAnyFindDoesNothing();
    void findInAnEmptyReport();
    void staleRowOfAnotherRunIsSafe();
    void thresholds_data();
    void thresholds();
    void columnButtons_data();
    void columnButtons();
};

// Each step is "F:<answer>" (Find) or "N" (Find next); after it the selected row, the
// yellow rows and the message (if any) are checked.
struct Step {
    std::string Command;
    int Selected;
    std::vector<int> Yellow;
    std::string Message;
};
Q_DECLARE_METATYPE(std::vector<Step>)

void ReportCommandsTest::findSequences_data() {
    QTest::addColumn<std::vector<Step>>("steps");
    QTest::newRow("find is case-insensitive and starts at row 0")
        << std::vector<Step>{{"F:FOO", 1, {1}, ""}};
    QTest::newRow("find next walks the matches, then wraps after the message")
        << std::vector<Step>{{"F:foo", 1, {1}, ""},
                             {"N", 2, {2}, ""},
                             {"N", 5, {5}, ""},
                             {"N", 5, {}, kNoMore},
                             {"N", 1, {1}, ""}};
    QTest::newRow("a second find starts again at row 0")
        << std::vector<Step>{{"F:foo", 1, {1}, ""}, {"N", 2, {2}, ""}, {"F:foo", 1, {1}, ""}};
    QTest::newRow("no match keeps the selection and clears the old mark")
        << std::vector<Step>{{"F:debug", 3, {3}, ""}, {"F:zzz", 3, {}, "No matches!"}};
    QTest::newRow("after a miss find next starts at row 0")
        << std::vector<Step>{{"F:zzz", -1, {}, "No matches!"}, {"N", -1, {}, kNoMore}};
    QTest::newRow("only the code column is searched")
        << std::vector<Step>{{"F:5", -1, {}, "No matches!"}};
    QTest::newRow("text inside a comment is found")
        << std::vector<Step>{{"F:again", 5, {5}, ""}, {"N", 5, {}, kNoMore}};
}

void ReportCommandsTest::findSequences() {
    QFETCH(std::vector<Step>, steps);
    ListData report = Report(kCode);
    FindState state;
    ScriptedRequesters requesters;
    for (const Step& step : steps) {
        requesters.Messages.clear();
        if (step.Command.rfind("F:", 0) == 0) {
            requesters.Answers.push_back(step.Command.substr(2));
            FindCommand(report, state, requesters);
            QCOMPARE(requesters.Prompts.back(), std::string("Find ..."));
        } else {
            FindNextCommand(report, state, requesters);
        }
        QCOMPARE(report.FirstSelectedRow(), step.Selected);
        QCOMPARE(YellowRows(report), step.Yellow);
        QCOMPARE(requesters.Messages.empty() ? std::string() : requesters.Messages.back(),
                 step.Message);
        for (const std::string& title : requesters.Titles) {
            QCOMPARE(title, std::string("Tickscope"));
        }
    }
}

void ReportCommandsTest::emptyAnswerKeepsThePreviousMark() {
    ListData report = Report(kCode);
    FindState state;
    ScriptedRequesters requesters;
    requesters.Answers = {"endprocedure", ""};
    QCOMPARE(FindCommand(report, state, requesters), 4);
    QCOMPARE(FindCommand(report, state, requesters), -1);
    QCOMPARE(YellowRows(report), std::vector<int>{4});
    QCOMPARE(state.Text, std::string("endprocedure"));
    QCOMPARE(state.Row, 4);
    QVERIFY(requesters.Messages.empty());
}

void ReportCommandsTest::findNextBeforeAnyFindDoesNothing() {
    ListData report = Report(kCode);
    FindState state;
    ScriptedRequesters requesters;
    QCOMPARE(FindNextCommand(report, state, requesters), -1);
    QVERIFY(requesters.Messages.empty());
    QVERIFY(requesters.Prompts.empty());
    QVERIFY(YellowRows(report).empty());
}

void ReportCommandsTest::findInAnEmptyReport() {
    ListData report = Report({});
    FindState state;
    ScriptedRequesters requesters;
    requesters.Answers = {"x"};
    QCOMPARE(FindCommand(report, state, requesters), -1);
    QCOMPARE(requesters.Messages, std::vector<std::string>{"No matches!"});
    QCOMPARE(state.Row, -1);
}

void ReportCommandsTest::staleRowOfAnotherRunIsSafe() {
    // The last match was row 5 of a longer report; a shorter run is loaded since.
    ListData report = Report({"foo", "bar"});
    FindState state{"foo", 5};
    ScriptedRequesters requesters;
    QCOMPARE(FindNextCommand(report, state, requesters), -1);
    QCOMPARE(requesters.Messages.back(), kNoMore);
    QCOMPARE(FindNextCommand(report, state, requesters), 0);
    QCOMPARE(CodeBackground(report, 1), kWhite);
}

void ReportCommandsTest::thresholds_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("caption");
    QTest::newRow("250") << "250" << 250 << "ff=250";
    QTest::newRow("zero") << "0" << 0 << "ff=max";
    QTest::newRow("cancelled") << "" << 0 << "ff=max";
    QTest::newRow("no digits") << "abc" << 0 << "ff=max";
    QTest::newRow("leading blanks, trailing text") << " \t42ms" << 42 << "ff=42";
    QTest::newRow("hexadecimal") << "$FF" << 255 << "ff=255";
    QTest::newRow("binary") << "%101" << 5 << "ff=5";
    QTest::newRow("negative kept") << "-7" << -7 << "ff=-7";
    QTest::newRow("wraps to 32 bits") << "4294967297" << 1 << "ff=1";
}

void ReportCommandsTest::thresholds() {
    QFETCH(QString, answer);
    QFETCH(int, value);
    QFETCH(QString, caption);
    ScriptedRequesters requesters;
    requesters.Answers = {answer.toStdString()};
    const std::int32_t read = AskThreshold(requesters, kMaxHitsPrompt);
    QCOMPARE(read, value);
    QCOMPARE(QString::fromStdString(ThresholdCaption(read)), caption);
    QCOMPARE(requesters.Prompts.back(), std::string("Enter max-hits for full-red:"));
    QCOMPARE(requesters.Titles.back(), std::string("Tickscope"));
}

Q_DECLARE_METATYPE(ColumnButtonsNow)
Q_DECLARE_METATYPE(std::optional<ColumnButtonsPlace>)

void ReportCommandsTest::columnButtons_data() {
    QTest::addColumn<ColumnButtonsNow>("now");
    QTest::addColumn<std::optional<ColumnButtonsPlace>>("expected");
    const ColumnButtonsNow initial{280, {20, 30, 50, 60, 110}, 380, 60, 50, 60};
    QTest::newRow("first event: over the columns")
        << initial << std::optional(ColumnButtonsPlace{380, 60, 440, 55, 495, 55});
    const ColumnButtonsNow aligned{280, {20, 30, 50, 60, 110}, 380, 60, 55, 55};
    QTest::newRow("already aligned: nothing") << aligned << std::optional<ColumnButtonsPlace>();
    QTest::newRow("hits widened by 20")
        << ColumnButtonsNow{280, {20, 30, 50, 80, 110}, 380, 60, 55, 55}
        << std::optional(ColumnButtonsPlace{380, 80, 460, 55, 515, 55});
    QTest::newRow("odd time width rounds towards zero")
        << ColumnButtonsNow{280, {20, 30, 50, 60, 111}, 380, 60, 55, 55}
        << std::optional<ColumnButtonsPlace>();
    QTest::newRow("line column narrowed")
        << ColumnButtonsNow{280, {20, 30, 40, 60, 110}, 380, 60, 55, 55}
        << std::optional(ColumnButtonsPlace{370, 60, 430, 55, 485, 55});
}

void ReportCommandsTest::columnButtons() {
    QFETCH(ColumnButtonsNow, now);
    QFETCH(std::optional<ColumnButtonsPlace>, expected);
    QCOMPARE(AlignColumnButtons(now), expected);
}

QTEST_MAIN(ReportCommandsTest)
#include "report_commands_test.moc"
