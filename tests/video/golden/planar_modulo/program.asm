; Planar, two planes, with a modulo of 0x20: each line skips 32 bytes of
; every plane after its own 50.
MODULO: equ     0x20
        include "common.inc"
script:
        include "planar_modulo.inc"

        include "lib.inc"
