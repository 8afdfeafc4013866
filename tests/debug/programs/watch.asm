; Memory, port and block accesses for the watchpoints, and nested routines
; for Step Out, as the boot ROM.
counter:    equ 0x8100
buffer:     equ 0x9000

            org 0
start:      ld sp, 0xF000
            ld hl, counter
            ld (hl), 0
count:      inc (hl)            ; writes 1, 2, 3...
            ld a, (hl)          ; reads it back
            out (0x30), a
            in a, (0x31)
            ld a, (hl)
            cp 5
            jr nz, count
            ld hl, source
            ld de, buffer
            ld bc, 16
copy:       ldir                ; writes buffer..buffer+15, one byte a step
            call outer
after_outer: ld a, 0x77
            ld (0x8200), a
            ld b, 3
            call recurse
after_recurse: halt

outer:      push bc             ; something on the stack before the inner call
            call inner
after_inner: pop bc
            ret

inner:      ld a, 1
            ret

; Calls itself b times; Step Over of the outer call must wait for the
; outermost return, not the first one that comes back to after_recurse's level.
recurse:    dec b
            call nz, recurse
in_recurse: ret

source:     db "0123456789ABCDEF"
