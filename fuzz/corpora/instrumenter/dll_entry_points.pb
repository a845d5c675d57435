ProcedureDLL AttachProcess(Instance)
  x = 1
EndProcedure
ProcedureDLL DetachProcess(Instance)
EndProcedure
; IDE Options = PureBasic
; ExecutableFormat = Shared Dll
