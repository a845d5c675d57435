; Tickscope example program: counts the words of a text while a worker thread sums squares.
; Build it from the IDE with Tickscope as a tool, run it, then open Tickscope to see the time.
EnableExplicit

XIncludeFile "worker.pbi"

Structure WordStatistics
  Words.i
  Distinct.i
EndStructure

Global NewMap Counts.i()
Global Statistics.WordStatistics

Procedure.s NextWord(Text.s, *Position.Integer)
  Protected Start.i, Length.i = Len(Text)
  While *Position\i <= Length And Mid(Text, *Position\i, 1) = " "
    *Position\i + 1
  Wend
  Start = *Position\i
  While *Position\i <= Length And Mid(Text, *Position\i, 1) <> " "
    *Position\i + 1
  Wend
  ProcedureReturn Mid(Text, Start, *Position\i - Start)
EndProcedure

Procedure CountWords(Text.s)
  Protected Position.i = 1, Word.s
  Repeat
    Word = LCase(NextWord(Text, @Position))
    If Word = ""
      Break
    EndIf
    Counts(Word) + 1
    Statistics\Words + 1
  ForEver
EndProcedure

Procedure.s Classify(Count.i)
  Select Count
    Case 1
      ProcedureReturn "once"
    Case 2, 3
      ProcedureReturn "rare"
    Default
      ProcedureReturn "common"
  EndSelect
EndProcedure

; The text and the number of rounds may come from the command line.
Define Text.s = ProgramParameter(0)
If Text = ""
  Text = "the quick brown fox jumps over the lazy dog and the dog sleeps"
EndIf
Define Rounds.i = Val(ProgramParameter(1))
If Rounds <= 0
  Rounds = 20
EndIf
Define Round.i, Thread.i

Thread = CreateThread(@Worker(), Rounds * 3)
For Round = 1 To Rounds
  CountWords(Text)
Next
WaitThread(Thread)

ForEach Counts()
  Statistics\Distinct + 1
  Debug MapKey(Counts()) + " " + Classify(Counts() / Rounds)
Next
Debug "Sum of squares: " + Str(WorkerResult) + ", words: " + Str(Statistics\Words)
End
; IDE Options = PureBasic 6.10 LTS (Windows - x64)
; CursorPosition = 1
; EnableThread
; EnableXP
; Executable = example.exe
