// Sources as PureBasic programmers write them: a German program saved as UTF-8 with a
// byte-order mark that includes a French file saved as Windows-1252. The program is built
// by the instrumenter, a run of it is recorded through RunRecorder, and the window, Find and
// the JSON report must show the text as it was written.
#include "analysis/progress.h"
#include "analysis/report_output.h"
#include "analysis/run_loading.h"
#include "common/temp_folder.h"
#include "instrument/instrumenter.h"
#include "instrument/runtime_text.h"
#include "runfiles/run_recorder.h"
#include "scripted_requesters.h"
#include "source/source_loader.h"
#include "source/text_encoding.h"
#include "ui/analyzer_controller.h"
#include "ui/analyzer_session.h"
#include "ui/list_view.h"
#include "ui/main_window.h"

#include <QComboBox>
#include <QTest>

#include <filesystem>
#include <memory>

using namespace tickscope;
using tickscope::testing::ScriptedChooser;
using tickscope::testing::ScriptedRequesters;
using tickscope::testing::TempFolder;
namespace fs = std::filesystem;

namespace {

const fs::path kSources = fs::path(TICKSCOPE_TEST_DATA_DIR) / "encodings";

// The two files copied into a folder whose own name is UTF-8, built, and one run recorded
// in which every instruction runs once.
struct RecordedRun {
    TempFolder scratch;
    std::string home;
    std::string runFile;

    RecordedRun() {
        const fs::path folder = scratch.Path() / "\xC3\x9C"
                                                 "bungen"; // "Übungen"
        fs::create_directories(folder);
        for (const char* name : {"gruesse.pb", "vacances.pbi"}) {
            fs::copy_file(kSources / name, folder / name);
        }
        ProgramInfo program;
        LoadSource((folder / "gruesse.pb").string(), "", program);
        InstrumentOptions options;
        options.MonitoringRuntimeText = MonitoringRuntimeText();
        const InstrumentedTexts texts = InstrumentProgram(program, options);

        home = scratch.Folder() + "home/";
        fs::create_directories(home);
        std::int64_t now = 0;
        RecorderSources sources;
        sources.Nanoseconds = [&now] { return now += 1000; };
        sources.DateSeconds = [] { return std::int64_t{1700000000}; };
        sources.Milliseconds = [] { return std::int64_t{1}; };
        sources.ThreadId = [] { return std::int64_t{7}; };
        sources.ProcessId = [] { return std::int64_t{70}; };
        RunRecorder recorder(home, texts.ProgramInfo, sources);
        if (!recorder.Begin()) {
            return;
        }
        for (const LineOfCode& line : program.LinesOfCode) {
            for (const Instruction& instruction : line.Instructions) {
                recorder.AddStartEntry(line.SourceFileId, line.LineNumber,
                                       instruction.InstructionNumber, true);
                recorder.AddStopEntry(line.SourceFileId, line.LineNumber,
                                      instruction.InstructionNumber, true);
            }
        }
        if (recorder.End()) {
            runFile = recorder.BaseName() + ".tkr";
        }
    }
};

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

class TextEncodingWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void cellsShowTheTextAsWritten();
    void findMatchesBothEncodings_data();
    void findMatchesBothEncodings();
    void jsonIsUtf8();

  private:
    ListView& Report() { return *session_->Window().List(kReportList); }
    // The rows whose code shows `text`, as the window shows it.
    QList<int> RowsShowing(const QString& text) {
        QList<int> rows;
        ListModel& model = Report().Model();
        for (int row = 0; row < model.rowCount(); ++row) {
            if (model.data(model.index(row, kCodeColumn)).toString().contains(text)) {
                rows.append(row);
            }
        }
        return rows;
    }

    std::unique_ptr<RecordedRun> run_;
    std::unique_ptr<ScriptedRequesters> requesters_;
    std::unique_ptr<ScriptedChooser> chooser_;
    std::unique_ptr<AnalyzerSession> session_;
};

void TextEncodingWindowTest::init() {
    run_ = std::make_unique<RecordedRun>();
    QVERIFY(!run_->runFile.empty());
    requesters_ = std::make_unique<ScriptedRequesters>();
    chooser_ = std::make_unique<ScriptedChooser>();
    session_ = std::make_unique<AnalyzerSession>(*requesters_, *chooser_);
    QVERIFY(session_->Open(run_->home));
    emit session_->Window().Combo(kProgramCombo)->activated(0);
    ListView& runs = *session_->Window().List(kRunList);
    QTest::mouseClick(runs.viewport(), Qt::LeftButton, {},
                      runs.visualRect(runs.Model().index(0, 0)).center());
    QVERIFY(session_->Controller().LoadedRecord());
}

void TextEncodingWindowTest::cleanup() {
    session_.reset();
    chooser_.reset();
    requesters_.reset();
    run_.reset();
}

void TextEncodingWindowTest::cellsShowTheTextAsWritten() {
    // UTF-8 lines of the German file, Windows-1252 lines of the French one.
    for (const char* text :
         {"Grüße aus München: ein kleines Programm für die Größenberechnung",
          "summe + i ; Summe für große Zahlen", "Define gruss.s = \"Schöne Grüße!\"",
          "Debug Vacances(\"été\")", "; Fichier français d'avant l'UTF-8 : été, naïve, déjà vu",
          "\" à la mer – Grüße\"", "ProcedureReturn texte + \" ™\""}) {
        QCOMPARE(RowsShowing(Utf8(text)).size(), 1);
    }
    // No cell shows text that was read with the wrong code page.
    QCOMPARE(RowsShowing(Utf8("Ã")).size(), 0);
    QCOMPARE(RowsShowing(QString(QChar::ReplacementCharacter)).size(), 0);
    // The model keeps the bytes: the French line is still Windows-1252 inside.
    const ListData& rows = Report().Data();
    const int french = RowsShowing(Utf8("Fichier français")).front();
    QVERIFY(!IsValidUtf8(rows.CellText(static_cast<std::size_t>(french), kCodeColumn)));
    // The file names of the source-file list, whose folder is named in UTF-8.
    ListModel& files = session_->Window().List(kSourceFileList)->Model();
    QCOMPARE(files.rowCount(), 2);
    for (int row = 0; row < 2; ++row) {
        QVERIFY2(files.data(files.index(row, 1)).toString().contains(Utf8("/Übungen/")),
                 qPrintable(files.data(files.index(row, 1)).toString()));
    }
}

void TextEncodingWindowTest::findMatchesBothEncodings_data() {
    QTest::addColumn<QString>("typed");
    // A text of each row found, in row order: the included French file stands where the
    // German program includes it, after its first line.
    QTest::addColumn<QStringList>("found");
    QTest::newRow("umlaut in both files")
        << Utf8("GRüße")
        << QStringList{Utf8("Grüße aus München"), Utf8("à la mer – Grüße"), Utf8("Schöne Grüße")};
    QTest::newRow("accents in both files")
        << Utf8("été") << QStringList{Utf8("Fichier français"), Utf8("Debug Vacances(\"été\")")};
    QTest::newRow("a Windows-1252 special character") << Utf8("–") << QStringList{Utf8("à la mer")};
    QTest::newRow("ASCII letters in any case")
        << Utf8("VACANCES(") << QStringList{Utf8("Procedure.s Vacances"), Utf8("Debug Vacances")};
}

void TextEncodingWindowTest::findMatchesBothEncodings() {
    QFETCH(QString, typed);
    QFETCH(QStringList, found);
    AnalyzerController& controller = session_->Controller();
    const ListData& rows = Report().Data();
    const QByteArray answer = typed.toUtf8();
    requesters_->Answers = {
        std::string(answer.constData(), static_cast<std::size_t>(answer.size()))};
    QVERIFY(controller.Dispatch(AnalyzerEvent::Menu(kFindCommand)));
    QStringList shown;
    ListModel& model = Report().Model();
    for (int guard = 0; guard < 10 && controller.Settings().Find.Row >= 0; ++guard) {
        QCOMPARE(rows.FirstSelectedRow(), controller.Settings().Find.Row);
        shown << model.data(model.index(rows.FirstSelectedRow(), kCodeColumn)).toString();
        QVERIFY(controller.Dispatch(AnalyzerEvent::Menu(kFindNextCommand)));
    }
    QCOMPARE(shown.size(), found.size());
    for (int i = 0; i < found.size(); ++i) {
        QVERIFY2(shown[i].contains(found[i]), qPrintable(shown[i] + " / " + found[i]));
    }
    QCOMPARE(requesters_->Messages.back().substr(0, 16), std::string("No more matches!"));
}

void TextEncodingWindowTest::jsonIsUtf8() {
    SilentProgress progress;
    const auto run =
        std::make_unique<LoadedRun>(LoadRun(CatalogueRunFile(run_->runFile), progress));
    QVERIFY(run->Failure.empty());
    const ThreadChecks threads(run->Threads.size(), true);
    const ReportFigures figures =
        ComputeReportFigures(run->Analysis, threads,
                             LineChecks(run->Program.LinesOfCode.size(), true), TimeMode::All, {});
    const RunProfile profile = ComputeRunProfile(run->Analysis, run->Program, threads);
    const std::string json = JsonReport({*run, threads, figures, profile, {}, run_->runFile});
    QVERIFY(IsValidUtf8(json));
    for (const char* text : {"Grüße aus München", "Fichier français d'avant l'UTF-8 : été, naïve",
                             "à la mer – Grüße", "texte + \\\" ™\\\"", "/Übungen/gruesse.pb"}) {
        QVERIFY2(json.find(text) != std::string::npos, text);
    }
    QVERIFY(json.find("\\u00") == std::string::npos);
}

QTEST_MAIN(TextEncodingWindowTest)
#include "text_encoding_window_test.moc"
