; The line coprocessor recolours palette entry 0 on every line: its program
; at main RAM 0x70000 holds, for each line L, "set register 0x000", "write L
; and step to 0x001", "write (L >> 3) & 15 and wait for the next line", then
; a wait for line 0x1FF. VRAM 0x00000 on is empty, so each frame row shows
; its own line's colour: blue cycling every 16 lines, green and red rising.
        include "common.inc"
script: dw      RUN
        dw      write_program
        dw      LINECOP_HI
        db      0x00
        dw      LINECOP_LO          ; start 0, running
        db      0x01
        dw      STOP

write_program:
        ld      a, 14               ; main RAM page 14 (0x70000) at 0x8000
        out     (0), a
        ld      hl, 0x8000
        ld      c, 0
next:   ld      (hl), 0x00          ; 0x8000: register address 0x000
        inc     hl
        ld      (hl), 0x80
        inc     hl
        ld      (hl), c             ; 0x4000 | L: write, then step the address
        inc     hl
        ld      (hl), 0x40
        inc     hl
        ld      a, c                ; 0x2000 | (L >> 3) & 15: write, next line
        rrca
        rrca
        rrca
        and     0x0F
        ld      (hl), a
        inc     hl
        ld      (hl), 0x20
        inc     hl
        inc     c
        jr      nz, next
        ld      (hl), 0xFF          ; 0xC1FF: wait for line 0x1FF
        inc     hl
        ld      (hl), 0xC1
        xor     a
        out     (0), a
        ret

        include "lib.inc"
