; Legacy tile map, one playfield (playfield 0, map buffer 0 at 0x0000, tile
; bank 0), the window covering the whole shown area. Tile t of bank 0 is the
; ramp shifted by t, so each 16 x 16 tile is a gradient starting at colour t;
; the map holds 0x20, 0x21, ... (tiles 0-7 hold the maps themselves).
        include "common.inc"
script: dw      TILES
        db      SOURCE_RAMP, 0
        dw      PAGE
        db      0x00
        dw      FILL
        db      MEM_VRAM_WRITE
        dw      0x0000, 32 * 15
        db      0x20, 1
        dw      WINDOWS
        db      FULL_WIDTH, FULL_HEIGHT
        dw      VIDCTRL             ; tile map
        db      0x01
        dw      STOP

        include "lib.inc"
