; Extended tile map, 16 x 16 tiles, one playfield, tile bank 1 (0x40000:
; ramp tiles; bank 0 holds checker tiles). Map entries 0x10, 0x11, ... with
; the flip bits cycling by column: none, horizontal, vertical, both.
        include "common.inc"
script: dw      TILES
        db      SOURCE_RAMP, 4
        dw      TILES
        db      SOURCE_CHECKER, 0
        dw      FILL                ; map low bytes at 0x70000
        db      MEM_VRAM_WRITE
        dw      0x0000, 32 * 15
        db      0x10, 1
        dw      FILL                ; high bytes at 0x70800: 0x00, 0x40, 0x80, 0xC0, ...
        db      MEM_VRAM_WRITE
        dw      0x0800, 32 * 15
        db      0x00, 0x40
        dw      WINDOWS
        db      FULL_WIDTH, FULL_HEIGHT
        dw      EXTVIDCTRL          ; extended tiles
        db      0x01
        dw      VIDCTRL             ; tile map, tile bank 1
        db      0x11
        dw      STOP

        include "lib.inc"
