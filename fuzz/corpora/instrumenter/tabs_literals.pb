	ProcedureC	Bar()
!mov eax, 1
@label :
If(a) And
(b)
EndIf
x = 'a' : y = "x" ; c : d
