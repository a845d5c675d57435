; Background work of the example program: sums of squares, computed in a second thread.
Global WorkerResult.q, WorkerSteps.i

Procedure.q SumOfSquares(Limit.i)
  Protected Sum.q, Value.i
  For Value = 1 To Limit
    Sum + Value * Value
  Next
  ProcedureReturn Sum
EndProcedure

Procedure Worker(Rounds.i)
  Protected Round.i
  For Round = 1 To Rounds
    WorkerResult + SumOfSquares(Round) : WorkerSteps + 1
    If Round % 20 = 0
      Delay(1)
    EndIf
  Next
EndProcedure
