; Extended 16 x 16 tile map, dual playfield with playfield swap: playfield 1
; (map at 0x70400, opaque ramp tiles 0x30, 0x31, ...) is at the back and
; playfield 0 (map at 0x70000, checker tiles 256 and up with flips cycling
; by column) in front.
        include "common.inc"
        org     0
        di
        ld      sp, 0x8000
        call    palette_ramp
        ld      hl, page7
        call    set_regs
        call    make_sources
        ld      bc, SOURCE_RAMP << 8 | 0
        call    tiles64k
        ld      bc, SOURCE_CHECKER << 8 | 1
        call    tiles64k
        ld      a, MEM_VRAM_WRITE   ; playfield 0: low bytes 0x00, 0x01, ...
        ld      hl, 0x0000
        ld      bc, 32 * 15
        ld      de, 0x0001
        call    fill_seq
        ld      a, MEM_VRAM_WRITE   ; high bytes 0x01, 0x41, 0x81, 0xC1, ...
        ld      hl, 0x0800
        ld      bc, 32 * 15
        ld      de, 0x0140
        call    fill_seq
        ld      a, MEM_VRAM_WRITE   ; playfield 1: low bytes 0x30, 0x31, ...; high bytes 0
        ld      hl, 0x0400
        ld      bc, 32 * 15
        ld      de, 0x3001
        call    fill_seq
        ld      hl, setup
        call    set_regs
        halt
        jr      $ - 1

page7:  dw      PAGE
        db      0x38
        dw      0
page0:  dw      PAGE
        db      0x00
        dw      0
setup:
        dw      RASTERCTRL
        db      SELECT_WIDTH
        dw      WINDOW
        db      FULL_WIDTH
        dw      RASTERCTRL
        db      SELECT_HEIGHT
        dw      WINDOW
        db      FULL_HEIGHT
        dw      EXTVIDCTRL          ; extended tiles, playfield swap
        db      0x03
        dw      VIDCTRL             ; tile map, dual playfield
        db      0x81
        dw      0

        include "lib.inc"
