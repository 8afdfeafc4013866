; Planar, two planes, with the modulo 0xFF: every line starts again from the
; plane addresses, so all lines are the same.
MODULO: equ     0xFF
        include "common.inc"
script:
        include "planar_modulo.inc"

        include "lib.inc"
