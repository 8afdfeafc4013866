; Counts raster interrupts through the board: the raster target starts at
; FIRST (9 bits) and every interrupt moves it on by STEP, back to FIRST once
; it reaches LIMIT (a STEP of 0 keeps it). The handler checks that port 0x01
; bit 3 and the status byte's bit 3 show the pending raster interrupt,
; counts, acknowledges through vreg_rasterctrl and returns.
; Results in RAM: COUNT (16 bits), ERRORS (8 bits), LINE (the raster line
; bits 0 and 4 from the status byte at the last interrupt).

COUNT:  equ     0x9000
ERRORS: equ     0x9002
TARGET: equ     0x9003
LINE:   equ     0x9004

        org     0
        di
        jp      start

        ds      0x38 - $, 0
irq:    push    af
        push    hl
        in      a, (0x01)           ; bit 3: raster interrupt pending
        and     0x08
        jr      nz, port_ok
        ld      hl, ERRORS
        inc     (hl)
port_ok:
        ld      a, (0x0700)         ; status byte: bit 3 the raster flag
        ld      (LINE), a
        and     0x08
        jr      nz, status_ok
        ld      hl, ERRORS
        inc     (hl)
status_ok:
        ld      hl, (COUNT)
        inc     hl
        ld      (COUNT), hl
        ld      a, (STEP)
        or      a
        jr      z, same_target
        ld      hl, TARGET
        add     a, (hl)
        ld      hl, LIMIT
        cp      (hl)
        jr      c, keep
        ld      a, (FIRST)
keep:   ld      (TARGET), a
        ld      (0x0205), a         ; raster target bits 0-7
same_target:
        ld      a, 0x80             ; acknowledge
        ld      (0x0204), a
        pop     hl
        pop     af
        ei
        reti

start:  ld      sp, 0x8000
        im      1
        ld      hl, 0
        ld      (COUNT), hl
        xor     a
        ld      (ERRORS), a
        ld      a, (FIRST)
        ld      (TARGET), a
        ld      (0x0205), a
        ld      a, (FIRST + 1)
        and     1
        or      0x02                ; raster interrupt enabled, target bit 8
        ld      (0x0204), a
        ld      a, 0x80             ; master enable only
        out     (0x01), a
        ei
wait:   jr      wait                ; not HALT: a halted processor hands the
                                    ; rest of its time slice over at once

        ds      0x100 - $, 0
FIRST:  dw      50
STEP:   db      50
LIMIT:  db      250
