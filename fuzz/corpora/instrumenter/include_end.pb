XIncludeFile "inc.pbi"
If a
  End
EndIf
While x : Wend
þProcedure P()
  Continue : Break
EndProcedure
; IDE Options = PureBasic
