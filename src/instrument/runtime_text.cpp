#include "instrument/runtime_text.h"

#include <cstddef>

namespace tickscope {

namespace {

// The runtime's source, one entry per line, without the line ends. Indents are tabs; three
// lines keep a trailing blank and two carry "tab, two spaces, tab" exactly as the runtime
// has always been emitted, so the text stays byte-identical across releases.
// clang-format off
constexpr const char* kRuntimeLines[] = {
    "Structure tickscope_struct_Entry",
    "\tThreadId.q",
    "\tStackframe.q",
    "\tFileId.l",
    "\tLineNumber.l",
    "\tInstructionNumber.b",
    "\tStartOrStop.b ; 1, 2",
    "\tNanos.q",
    "EndStructure",
    "",
    "Global tickscope_gl_Freq.d = 0",
    "Global tickscope_gl_Start.q = 0",
    "Global tickscope_gl_Correction.q = 0",
    "Global tickscope_gl_Mutex.i = CreateMutex()",
    "Global tickscope_gl_EntryCounter.i = 0",
    "Global tickscope_gl_EntryStorage.i = AllocateMemory(SizeOf(tickscope_struct_Entry)*1000000)",
    "Global tickscope_gl_EntriesFile.i = 0",
    "Define tickscopevar.b",
    "",
    "Declare tickscope_AddEntry(FileId.i, LineNumber.i, InstructionNumber.i, StartOrStop.b, OverrideStackframe.b = #False)",
    "Declare tickscope_AddStartEntry(FileId, LineNumber, InstructionNumber, OverrideStackframe)",
    "Declare tickscope_AddStopEntry(FileId, LineNumber, InstructionNumber, OverrideStackframe)",
    "Declare.i tickscope_GetStackframe()",
    "Declare tickscope_Begin()",
    "Declare tickscope_End()",
    "Procedure tickscope_InitHiresTiming()",
    "\tProtected freq.q",
    "\t",
    "\tIf QueryPerformanceFrequency_(@freq) ",
    "\t  \ttickscope_gl_Freq = 1000000000/freq",
    "\tElse ",
    "\t  \tMessageRequester(\"\",\"No High-res timer allowed\")",
    "\tEndIf ",
    "\tQueryPerformanceCounter_(@tickscope_gl_Start)",
    "EndProcedure",
    "Procedure.q tickscope_ElapsedNanoseconds()",
    "\tStatic q.q = 0",
    "\tStatic q1.q = 0",
    "\tStatic q2.q = 0",
    "\tStatic qc.q = 0",
    "\tStatic init.b = #True",
    "\tStatic p.i",
    "\t",
    "\tIf (init)",
    "\t\tinit = #False",
    "\t\tCompilerIf #PB_Compiler_Processor = #PB_Processor_x86",
    "\t\t! pushf",
    "\t\t! pushad",
    "\t\tCompilerEndIf",
    "\t\ttickscope_AddStartEntry(0, 0, 0, #False)",
    "\t\tCompilerIf #PB_Compiler_Processor = #PB_Processor_x86",
    "\t\t! popad",
    "\t\t! popf",
    "\t\t! pushf",
    "\t\t! pushad",
    "\t\tCompilerEndIf",
    "\t\ttickscope_AddStopEntry(0, 0, 0, #False)",
    "\t\tCompilerIf #PB_Compiler_Processor = #PB_Processor_x86",
    "\t\t! popad",
    "\t\t! popf",
    "\t\tCompilerEndIf",
    "",
    "\t\tq1 = PeekQ(tickscope_gl_EntryStorage+OffsetOf(tickscope_struct_Entry\\Nanos))",
    "\t\tq2 = PeekQ(tickscope_gl_EntryStorage+SizeOf(tickscope_struct_Entry)+OffsetOf(tickscope_struct_Entry\\Nanos))",
    "\t\ttickscope_gl_EntryCounter = 0",
    "",
    "\t\tqc = q2 - q1",
    "\tEndIf",
    "\tQueryPerformanceCounter_(@q)",
    "\tq - tickscope_gl_Start - qc",
    "",
    "\tProcedureReturn (q * tickscope_gl_Freq) - tickscope_gl_Correction",
    "EndProcedure",
    "",
    "DataSection",
    "ProgramInfoBegin:",
    "IncludeBinary \"{tickscope.tempfolder}tickscope.src\"",
    "ProgramInfoEnd:",
    "EndDataSection",
    "",
    "Procedure.i tickscope_GetStackframe()",
    "\tProtected asmbsp.i",
    "\t",
    "\tasmbsp = 0",
    "\tCompilerIf #PB_Compiler_Processor = #PB_Processor_x86",
    "\t! MOV dword [p.v_asmbsp], esp",
    "\tCompilerEndIf",
    "\tCompilerIf #PB_Compiler_Processor = #PB_Processor_x64",
    "\t! MOV qword [p.v_asmbsp], rsp",
    "\tCompilerEndIf",
    "\t",
    "\tProcedureReturn asmbsp",
    "EndProcedure",
    "Procedure tickscope_Begin()",
    "\tProtected filename.s",
    "\tProtected programinfos.s",
    "\t",
    "\tCreateDirectory(GetHomeDirectory() + \"Tickscope\")",
    "\tfilename = GetHomeDirectory() + \"Tickscope\\\" + Str(Date()) + \"-\" + Str(ElapsedMilliseconds())",
    "\ttickscope_gl_EntriesFile = CreateFile(#PB_Any, filename + \".tkr\")",
    "\tprograminfos = PeekS(?ProgramInfoBegin, ?ProgramInfoEnd-?ProgramInfoBegin)",
    "\tWriteStringN(tickscope_gl_EntriesFile, \"[PRE-PROGRAMINFOS]\")",
    "\tWriteStringN(tickscope_gl_EntriesFile, programinfos)",
    "\tWriteStringN(tickscope_gl_EntriesFile, \"\")",
    "\tWriteStringN(tickscope_gl_EntriesFile, \"[POST-PROGRAMINFOS]\")",
    "\tWriteStringN(tickscope_gl_EntriesFile, \"ProcessId = \" + Str(GetCurrentProcessId_()))",
    "\tCloseFile(tickscope_gl_EntriesFile)",
    "\ttickscope_gl_EntriesFile = CreateFile(#PB_Any, filename + \".tkl\")",
    "\tWriteByte(tickscope_gl_EntriesFile, 0)",
    "\ttickscope_InitHiresTiming()",
    "EndProcedure",
    "Procedure tickscope_AddEntry(FileId.i, LineNumber.i, InstructionNumber.i, StartOrStop.b, OverrideStackframe.b = #False)",
    "\tStatic nanos.q",
    "\tStatic p.i",
    "\t",
    "\tLockMutex(tickscope_gl_Mutex)",
    "\tnanos = tickscope_ElapsedNanoseconds()",
    "\tp = tickscope_gl_EntryStorage+tickscope_gl_EntryCounter*SizeOf(tickscope_struct_Entry)",
    "\tPokeL(p+OffsetOf(tickscope_struct_Entry\\FileId), FileId)",
    "\tPokeL(p+OffsetOf(tickscope_struct_Entry\\LineNumber), LineNumber)",
    "\tPokeB(p+OffsetOf(tickscope_struct_Entry\\InstructionNumber), InstructionNumber)",
    "\tPokeQ(p+OffsetOf(tickscope_struct_Entry\\ThreadId), GetCurrentThreadId_())",
    "\tIf (OverrideStackframe)",
    "\t\tPokeQ(p+OffsetOf(tickscope_struct_Entry\\Stackframe), 0)",
    "\tElse",
    "\t\tPokeQ(p+OffsetOf(tickscope_struct_Entry\\Stackframe), tickscope_GetStackframe())",
    "\tEndIf",
    "\tPokeB(p+OffsetOf(tickscope_struct_Entry\\StartOrStop), StartOrStop)",
    "\tPokeQ(p+OffsetOf(tickscope_struct_Entry\\Nanos), nanos)",
    "\ttickscope_gl_EntryCounter + 1",
    "\tIf (tickscope_gl_EntryCounter = 1000000)",
    "\t\tWriteData(tickscope_gl_EntriesFile, tickscope_gl_EntryStorage, SizeOf(tickscope_struct_Entry)*tickscope_gl_EntryCounter)",
    "\t\ttickscope_gl_EntryCounter = 0",
    "\tEndIf",
    "\ttickscope_gl_Correction + (tickscope_ElapsedNanoseconds() - nanos)",
    "\tUnlockMutex(tickscope_gl_Mutex)",
    "EndProcedure",
    "Procedure tickscope_AddStartEntry(FileId, LineNumber, InstructionNumber, OverrideStackframe)",
    "\ttickscope_AddEntry(FileId, LineNumber, InstructionNumber, 1, OverrideStackframe)",
    "EndProcedure",
    "Procedure tickscope_AddStopEntry(FileId, LineNumber, InstructionNumber, OverrideStackframe)",
    "\ttickscope_AddEntry(FileId, LineNumber, InstructionNumber, 2, OverrideStackframe)",
    "EndProcedure",
    "Procedure tickscope_End()",
    "\tStatic p.i",
    "\t",
    "\tLockMutex(tickscope_gl_Mutex)",
    "\tIf (tickscope_gl_EntryCounter)",
    "\t\tWriteData(tickscope_gl_EntriesFile, tickscope_gl_EntryStorage, SizeOf(tickscope_struct_Entry)*tickscope_gl_EntryCounter)",
    "\tEndIf",
    "\ttickscope_gl_EntryCounter = 0",
    "\tCloseFile(tickscope_gl_EntriesFile)",
    "\tUnlockMutex(tickscope_gl_Mutex)",
    "EndProcedure",
    "",
};
// clang-format on

std::string JoinRuntimeLines() {
    std::size_t size = 0;
    for (const char* line : kRuntimeLines) {
        size += std::char_traits<char>::length(line) + 1;
    }
    std::string text;
    text.reserve(size);
    for (const char* line : kRuntimeLines) {
        text += line;
        text += '\n';
    }
    return text;
}

} // namespace

const std::string& MonitoringRuntimeText() {
    static const std::string text = JoinRuntimeLines();
    return text;
}

} // namespace tickscope
