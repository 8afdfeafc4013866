; Fills the shown picture with palette entry 0 and gives that entry a new
; colour once per frame, in the vertical blank (raster line 280 on): every
; whole frame is one colour, and a frame shown half old, half new has two.
        include "vexa.inc"

        org 0
        ld sp, 0xF000
        ld a, 0x04
        ld (VREG_RASTERCTRL), a  ; the window register sets left and right
        ld a, 0x6F
        ld (VREG_WINDOW), a      ; columns 96-495
        xor a
        ld (VREG_RASTERCTRL), a  ; now top and bottom
        ld a, 0x2C
        ld (VREG_WINDOW), a      ; lines 16-255
        xor a
        ld (VREG_VIDCTRL), a     ; planar, one plane of zeros: colour 0 everywhere
        ld b, a
frame:  ld a, (VIDEO_STATUS)     ; bit 0: vertical blank
        and 1
        jr nz, frame             ; wait for the picture to start
blank:  ld a, (VIDEO_STATUS)
        and 1
        jr z, blank              ; and for the blank after it
        inc b
        ld a, b
        ld (PALETTE), a
        ld (PALETTE + 1), a
        jr frame
