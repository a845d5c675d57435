Structure Point
  x.i
  y.i
EndStructure
Repeat
  While a Or
 b : Wend
ForEver
For i = 1 To 10 : Next
ForEach list() : Continue : Next
With p : EndWith
msg$ = "don't ; stop" ; it's a comment
