; Walks the instruction groups of the processor and checks every result
; (registers and all eight bits of F) against values worked out by hand from
; this machine's rules. Prints one line per group and ends with
; "ALL TESTS PASSED" or the number of failures.
;
; A test vector is: routine, AF BC DE HL going in, AF BC DE HL expected
; (nine words). The runner loads the registers, calls the routine and
; compares the four pairs it comes back with.
;
; The index-register halves and SLL are written as bytes: the assembler does
; not know all of them and swaps IXH and IXL in some.

                org 0x0100

                jp start

                include "cpm.inc"

start:
                ld sp,stack_top
                ld hl,0
                ld (failures),hl
                ld hl,groups
next_group:
                ld e,(hl)
                inc hl
                ld d,(hl)
                inc hl
                ld a,d
                or e
                jr z,all_done
                ld c,(hl)
                inc hl
                ld b,(hl)
                inc hl
                push hl
                call run_group
                pop hl
                jr next_group

all_done:
                ld hl,(failures)
                ld a,h
                or l
                jr nz,some_failed
                ld de,msg_passed
                call print
                jp 0
some_failed:
                call puthex16
                ld de,msg_failed
                call print
                jp 0

; DE = group name, BC = its vectors.
run_group:
                call print
                ld (vec_ptr),bc
                xor a
                ld (group_failed),a
                ld (vec_index),a
group_loop:
                ld hl,(vec_ptr)
                ld a,(hl)
                inc hl
                or (hl)
                jr z,group_end
                ld hl,(vec_ptr)
                ld de,cur
                ld bc,18
                ldir
                ld (vec_ptr),hl
                call run_vector
                ld hl,vec_index
                inc (hl)
                jr group_loop
group_end:
                ld a,(group_failed)
                or a
                ld de,msg_ok
                jr z,group_print
                ld de,msg_bad
group_print:
                call print
                ret

run_vector:
                ld hl,(cur)
                ld (call_site+1),hl
                ld hl,(cur_af)
                push hl
                ld bc,(cur_bc)
                ld de,(cur_de)
                ld hl,(cur_hl)
                pop af
call_site:
                call 0
                ld (res_hl),hl
                push af
                pop hl
                ld (res_af),hl
                ld (res_bc),bc
                ld (res_de),de
                ld hl,res_af
                ld de,want_af
                ld b,8
compare:
                ld a,(de)
                cp (hl)
                jr nz,mismatch
                inc hl
                inc de
                djnz compare
                ret
mismatch:
                ld a,1
                ld (group_failed),a
                ld hl,(failures)
                inc hl
                ld (failures),hl
                call newline
                ld de,msg_vector
                call print
                ld a,(vec_index)
                call puthex8
                ld de,msg_got
                call print
                ld hl,res_af
                call print_pairs
                ld de,msg_want
                call print
                ld hl,want_af
                call print_pairs
                ret

; Prints the four words at HL.
print_pairs:
                ld b,4
print_pairs_loop:
                ld e,(hl)
                inc hl
                ld d,(hl)
                inc hl
                ex de,hl
                call puthex16
                ex de,hl
                ld a,' '
                call putc
                djnz print_pairs_loop
                ret

msg_ok:         db " OK", 13, 10, "$"
msg_bad:        db 13, 10
                db "  FAILED", 13, 10, "$"
msg_vector:     db "  vector $"
msg_got:        db ": AF BC DE HL $"
msg_want:       db "want $"
msg_passed:     db "ALL TESTS PASSED", 13, 10, "$"
msg_failed:     db " TESTS FAILED", 13, 10, "$"

; ---------------------------------------------------------------------------
; The groups

groups:
                dw name_ld8, vec_ld8
                dw name_ld16, vec_ld16
                dw name_alu, vec_alu
                dw name_incdec, vec_incdec
                dw name_arith16, vec_arith16
                dw name_rota, vec_rota
                dw name_daa, vec_daa
                dw name_cbrot, vec_cbrot
                dw name_bits, vec_bits
                dw name_branch, vec_branch
                dw name_exchange, vec_exchange
                dw name_edmisc, vec_edmisc
                dw name_io, vec_io
                dw name_block, vec_block
                dw name_index, vec_index_group
                dw name_undef, vec_undef
                dw 0

name_ld8:       db "8-bit loads:$"
name_ld16:      db "16-bit loads and stack:$"
name_alu:       db "8-bit arithmetic and logic:$"
name_incdec:    db "INC and DEC:$"
name_arith16:   db "16-bit arithmetic:$"
name_rota:      db "Rotates of A and flag operations:$"
name_daa:       db "DAA:$"
name_cbrot:     db "CB rotates and shifts:$"
name_bits:      db "BIT, SET and RES:$"
name_branch:    db "Jumps, calls and returns:$"
name_exchange:  db "Exchanges:$"
name_edmisc:    db "NEG, RRD, RLD, I and R:$"
name_io:        db "Port input:$"
name_block:     db "Block instructions:$"
name_index:     db "Index registers:$"
name_undef:     db "Undefined and ignored prefixes:$"

; ---------------------------------------------------------------------------
; 8-bit loads

vec_ld8:
                dw t_ld_imm,   0x00D7, 0x0000, 0x0000, 0x0000,  0xDED7, 0x1234, 0x5678, 0x9ABC
                dw t_ld_reg,   0x7700, 0x1122, 0x3344, 0x5566,  0x1100, 0x2233, 0x4455, 0x6611
                dw t_ld_mem,   0x0028, 0x4200, 0x0000, 0x0000,  0x5A28, 0x4242, scratch+1, scratch
                dw 0

t_ld_imm:
                ld b,0x12
                ld c,0x34
                ld d,0x56
                ld e,0x78
                ld h,0x9A
                ld l,0xBC
                ld a,0xDE
                ret
t_ld_reg:
                ld a,b
                ld b,c
                ld c,d
                ld d,e
                ld e,h
                ld h,l
                ld l,a
                ret
t_ld_mem:
                ld hl,scratch
                ld (hl),b
                ld c,(hl)
                ld a,0x5A
                ld (scratch+1),a
                ld a,0
                ld de,scratch+1
                ld a,(de)
                ret

; ---------------------------------------------------------------------------
; 16-bit loads and the stack

vec_ld16:
                dw t_ld16_imm, 0x00FF, 0, 0, 0,                   0x00FF, 0x1234, 0x5678, 0x9ABC
                dw t_ld16_mem, 0x0000, 0, 0, 0,                   0x0000, 0xBEEF, 0xEFBE, 0xBEEF
                dw t_swap_bcde, 0x0000, 0x1111, 0x2222, 0,        0x0000, 0x2222, 0x1111, 0
                dw t_pop_af,   0x0000, 0x12FF, 0, 0,              0x12FF, 0x12FF, 0, 0
                dw t_ex_sp_hl, 0x0000, 0x1234, 0, 0x5678,         0x0000, 0x5678, 0, 0x1234
                dw t_ld_sp_hl, 0x00FF, 0, 0, 0x1234,              0x00C4, 0, 0, 0x1234
                dw 0

t_ld16_imm:
                ld bc,0x1234
                ld de,0x5678
                ld hl,0x9ABC
                ret
t_ld16_mem:
                ld hl,0xBEEF
                ld (scratch),hl
                ld bc,(scratch)
                ld (scratch+2),bc
                ld de,(scratch+1)
                ld hl,(scratch+2)
                ret
t_swap_bcde:
                push bc
                push de
                pop bc
                pop de
                ret
t_pop_af:
                push bc
                pop af
                ret
t_ex_sp_hl:
                push bc
                ex (sp),hl
                pop bc
                ret
; ADD HL,SP: S, Z and P/V kept, bits 5 and 3 cleared.
t_ld_sp_hl:
                ld (saved_sp),sp
                ld sp,hl
                ld hl,0
                add hl,sp
                ld sp,(saved_sp)
                ret

; ---------------------------------------------------------------------------
; 8-bit arithmetic and logic

vec_alu:
                dw t_add_b,  0x7F00, 0x0100, 0, 0,  0x8094, 0x0100, 0, 0
                dw t_add_b,  0xFF00, 0x0100, 0, 0,  0x0051, 0x0100, 0, 0
                dw t_adc_b,  0x7F01, 0x0000, 0, 0,  0x8094, 0x0000, 0, 0
                dw t_adc_b,  0x8001, 0x8000, 0, 0,  0x0105, 0x8000, 0, 0
                dw t_sub_b,  0x8000, 0x0100, 0, 0,  0x7F16, 0x0100, 0, 0
                dw t_sub_b,  0x0500, 0xFF00, 0, 0,  0x0613, 0xFF00, 0, 0
                dw t_sbc_b,  0x0001, 0x0000, 0, 0,  0xFF93, 0x0000, 0, 0
                dw t_sbc_b,  0x8001, 0x7F00, 0, 0,  0x0056, 0x7F00, 0, 0
                dw t_and_b,  0xF0FF, 0x3C00, 0, 0,  0x3014, 0x3C00, 0, 0
                dw t_xor_a,  0x5AFF, 0, 0, 0,       0x0044, 0, 0, 0
                dw t_or_b,   0x8000, 0x0100, 0, 0,  0x8184, 0x0100, 0, 0
                dw t_cp_b,   0x1000, 0x2000, 0, 0,  0x1083, 0x2000, 0, 0
                dw t_cp_b,   0x2800, 0x2800, 0, 0,  0x2842, 0x2800, 0, 0
                dw t_add_hl, 0x0F00, 0x0001, 0, 0,  0x1010, 0x0001, 0, scratch
                dw t_add_n,  0x9900, 0, 0, 0,       0x3215, 0, 0, 0
                dw t_sub_n,  0x2800, 0, 0, 0,       0x0042, 0, 0, 0
                dw 0

t_add_b:        add a,b
                ret
t_adc_b:        adc a,b
                ret
t_sub_b:        sub b
                ret
t_sbc_b:        sbc a,b
                ret
t_and_b:        and b
                ret
t_xor_a:        xor a
                ret
t_or_b:         or b
                ret
t_cp_b:         cp b
                ret
t_add_hl:
                ld hl,scratch
                ld (hl),c
                add a,(hl)
                ret
t_add_n:        add a,0x99
                ret
t_sub_n:        sub 0x28
                ret

; ---------------------------------------------------------------------------
; INC and DEC

vec_incdec:
                dw t_inc_b,   0x0001, 0x7F00, 0, 0,        0x0095, 0x8000, 0, 0
                dw t_dec_b,   0x0000, 0x8000, 0, 0,        0x0016, 0x7F00, 0, 0
                dw t_dec_c,   0x00FF, 0x0010, 0, 0,        0x0013, 0x000F, 0, 0
                dw t_inc_a,   0xFF00, 0, 0, 0,             0x0050, 0, 0, 0
                dw t_dec_a,   0x0101, 0, 0, 0,             0x0043, 0, 0, 0
                dw t_inc_mem, 0x0000, 0x0F00, 0, 0,        0x0010, 0x1000, 0, scratch
                dw t_dec_mem, 0x0000, 0x0000, 0, 0,        0x0092, 0xFF00, 0, scratch
                dw t_incdec16, 0x00D7, 0xFFFF, 0x0000, 0x7FFF,  0x00D7, 0x0000, 0xFFFF, 0x8000
                dw 0

t_inc_b:        inc b
                ret
t_dec_b:        dec b
                ret
t_dec_c:        dec c
                ret
t_inc_a:        inc a
                ret
t_dec_a:        dec a
                ret
t_inc_mem:
                ld hl,scratch
                ld (hl),b
                inc (hl)
                ld b,(hl)
                ret
t_dec_mem:
                ld hl,scratch
                ld (hl),b
                dec (hl)
                ld b,(hl)
                ret
t_incdec16:
                inc bc
                dec de
                inc hl
                ret

; ---------------------------------------------------------------------------
; 16-bit arithmetic

vec_arith16:
                dw t_add_hl_bc, 0x00FF, 0x0001, 0, 0x0FFF,       0x00D4, 0x0001, 0, 0x1000
                dw t_add_hl_de, 0x0000, 0, 0x0001, 0xFFFF,       0x0011, 0, 0x0001, 0x0000
                dw t_add_hl_hl, 0x0000, 0, 0, 0x8000,            0x0001, 0, 0, 0x0000
                dw t_adc_hl_bc, 0x0001, 0x0000, 0, 0x7FFF,       0x0094, 0x0000, 0, 0x8000
                dw t_adc_hl_de, 0x0001, 0, 0x0000, 0xFFFF,       0x0051, 0, 0x0000, 0x0000
                dw t_sbc_hl_de, 0x0000, 0, 0x0001, 0x8000,       0x0016, 0, 0x0001, 0x7FFF
                dw t_sbc_hl_bc, 0x0000, 0x1234, 0, 0x1234,       0x0042, 0x1234, 0, 0x0000
                dw t_sbc_hl_hl, 0x0001, 0, 0, 0x1234,            0x0093, 0, 0, 0xFFFF
                dw 0

t_add_hl_bc:    add hl,bc
                ret
t_add_hl_de:    add hl,de
                ret
t_add_hl_hl:    add hl,hl
                ret
t_adc_hl_bc:    adc hl,bc
                ret
t_adc_hl_de:    adc hl,de
                ret
t_sbc_hl_de:    sbc hl,de
                ret
t_sbc_hl_bc:    sbc hl,bc
                ret
t_sbc_hl_hl:    sbc hl,hl
                ret

; ---------------------------------------------------------------------------
; Rotates of A, CPL, SCF, CCF: bits 5 and 3 of F are kept

vec_rota:
                dw t_rlca, 0x81FE, 0, 0, 0,  0x03ED, 0, 0, 0
                dw t_rrca, 0x0100, 0, 0, 0,  0x8001, 0, 0, 0
                dw t_rla,  0x8000, 0, 0, 0,  0x0001, 0, 0, 0
                dw t_rla,  0x0001, 0, 0, 0,  0x0100, 0, 0, 0
                dw t_rra,  0x0101, 0, 0, 0,  0x8001, 0, 0, 0
                dw t_rra,  0x0229, 0, 0, 0,  0x8128, 0, 0, 0
                dw t_cpl,  0x5A00, 0, 0, 0,  0xA512, 0, 0, 0
                dw t_cpl,  0x5AFF, 0, 0, 0,  0xA5FF, 0, 0, 0
                dw t_scf,  0x0000, 0, 0, 0,  0x0001, 0, 0, 0
                dw t_scf,  0x00FE, 0, 0, 0,  0x00ED, 0, 0, 0
                dw t_ccf,  0x0001, 0, 0, 0,  0x0010, 0, 0, 0
                dw t_ccf,  0x0000, 0, 0, 0,  0x0001, 0, 0, 0
                dw t_ccf,  0x00FF, 0, 0, 0,  0x00FC, 0, 0, 0
                dw 0

t_rlca:         rlca
                ret
t_rrca:         rrca
                ret
t_rla:          rla
                ret
t_rra:          rra
                ret
t_cpl:          cpl
                ret
t_scf:          scf
                ret
t_ccf:          ccf
                ret

; ---------------------------------------------------------------------------
; DAA, after additions and subtractions

vec_daa:
                dw t_add_daa, 0x1500, 0x2700, 0, 0,  0x4214, 0x2700, 0, 0
                dw t_sub_daa, 0x4200, 0x1500, 0, 0,  0x2726, 0x1500, 0, 0
                dw t_add_daa, 0x9900, 0x0100, 0, 0,  0x0055, 0x0100, 0, 0
                dw t_add_daa, 0x0900, 0x0900, 0, 0,  0x180C, 0x0900, 0, 0
                dw t_sub_daa, 0x1000, 0x2000, 0, 0,  0x9087, 0x2000, 0, 0
                dw 0

t_add_daa:
                add a,b
                daa
                ret
t_sub_daa:
                sub b
                daa
                ret

; ---------------------------------------------------------------------------
; CB rotates and shifts, on registers and (HL)

vec_cbrot:
                dw t_rlc_b,   0x0000, 0x8000, 0, 0,       0x0001, 0x0100, 0, 0
                dw t_rrc_c,   0x0000, 0x0001, 0, 0,       0x0081, 0x0080, 0, 0
                dw t_rl_d,    0x0000, 0, 0x8000, 0,       0x0045, 0, 0x0000, 0
                dw t_rr_e,    0x0001, 0, 0x0001, 0,       0x0081, 0, 0x0080, 0
                dw t_sla_h,   0x0000, 0, 0, 0xFF00,       0x0081, 0, 0, 0xFE00
                dw t_sra_l,   0x0000, 0, 0, 0x0081,       0x0085, 0, 0, 0x00C0
                dw t_sll_a,   0x0000, 0, 0, 0,            0x0100, 0, 0, 0
                dw t_srl_b,   0x00FF, 0x0100, 0, 0,       0x0045, 0x0000, 0, 0
                dw t_rlc_mem, 0x0000, 0x8100, 0, 0,       0x0005, 0x0300, 0, scratch
                dw t_srl_mem, 0x0000, 0x0100, 0, 0,       0x0045, 0x0000, 0, scratch
                dw 0

t_rlc_b:        rlc b
                ret
t_rrc_c:        rrc c
                ret
t_rl_d:         rl d
                ret
t_rr_e:         rr e
                ret
t_sla_h:        sla h
                ret
t_sra_l:        sra l
                ret
t_sll_a:        db 0xCB, 0x37               ; SLL A
                ret
t_srl_b:        srl b
                ret
t_rlc_mem:
                ld hl,scratch
                ld (hl),b
                rlc (hl)
                ld b,(hl)
                ret
t_srl_mem:
                ld hl,scratch
                ld (hl),b
                srl (hl)
                ld b,(hl)
                ret

; ---------------------------------------------------------------------------
; BIT, SET, RES

vec_bits:
                dw t_bit7_a,   0x8000, 0, 0, 0,        0x8090, 0, 0, 0
                dw t_bit7_a,   0x0001, 0, 0, 0,        0x0051, 0, 0, 0
                dw t_bit0_b,   0x00FF, 0xFE00, 0, 0,   0x0051, 0xFE00, 0, 0
                dw t_bit3_c,   0x0000, 0x0008, 0, 0,   0x0010, 0x0008, 0, 0
                dw t_bit5_mem, 0x0028, 0x2000, 0, 0,   0x0010, 0x2000, 0, scratch
                dw t_setres,   0x00AA, 0x00FF, 0, 0,   0x00AA, 0x80FE, 0, 0
                dw t_setres_mem, 0x00AA, 0x8000, 0, 0, 0x00AA, 0x0800, 0, scratch
                dw 0

t_bit7_a:       bit 7,a
                ret
t_bit0_b:       bit 0,b
                ret
t_bit3_c:       bit 3,c
                ret
t_bit5_mem:
                ld hl,scratch
                ld (hl),b
                bit 5,(hl)
                ret
t_setres:
                set 7,b
                res 0,c
                ret
t_setres_mem:
                ld hl,scratch
                ld (hl),b
                set 3,(hl)
                res 7,(hl)
                ld b,(hl)
                ret

; ---------------------------------------------------------------------------
; Jumps, calls and returns

vec_branch:
                dw t_jrjp,    0x0000, 0, 0, 0,  0x0000, 0x0A0A, 0, 0
                dw t_jrjp,    0x00FF, 0, 0, 0,  0x00FF, 0x0505, 0, 0
                dw t_jrjp,    0x0041, 0, 0, 0,  0x0041, 0x050A, 0, 0
                dw t_jrjp,    0x0084, 0, 0, 0,  0x0084, 0x0A05, 0, 0
                dw t_callret, 0x0000, 0, 0, 0,  0x0000, 0, 0x55AA, 0
                dw t_callret, 0x00FF, 0, 0, 0,  0x00FF, 0, 0xAA55, 0
                dw t_djnz,    0x0000, 0, 0, 0,  0x0000, 0x0005, 0, 0
                dw t_djnz256, 0x00C3, 0, 0, 0,  0x00C3, 0x0000, 0x0100, 0
                dw t_rst,     0x00FF, 0, 0, 0,  0x77E9, 0x0000, 0x002B, rst_code+3
                dw t_jp_hl,   0x0000, 0, 0, 0,  0x3300, 0, 0, jp_target
                dw t_jr_back, 0x0000, 0, 0, 0,  0x0342, 0x0300, 0, 0
                dw 0

; B collects the conditions a JR did not take, C those a JP did not take.
t_jrjp:
                ld b,0
                jr nz,$+4
                set 0,b
                jr z,$+4
                set 1,b
                jr nc,$+4
                set 2,b
                jr c,$+4
                set 3,b
                ld c,0
                jp po,$+5
                set 0,c
                jp pe,$+5
                set 1,c
                jp p,$+5
                set 2,c
                jp m,$+5
                set 3,c
                ret

; D collects the conditional calls taken, E the conditional returns not taken.
t_callret:
                ld de,0
                call nz,mark_d0
                call z,mark_d1
                call nc,mark_d2
                call c,mark_d3
                call po,mark_d4
                call pe,mark_d5
                call p,mark_d6
                call m,mark_d7
                call ret_nz
                call ret_z
                call ret_nc
                call ret_c
                call ret_po
                call ret_pe
                call ret_p
                call ret_m
                ret
mark_d0:        set 0,d
                ret
mark_d1:        set 1,d
                ret
mark_d2:        set 2,d
                ret
mark_d3:        set 3,d
                ret
mark_d4:        set 4,d
                ret
mark_d5:        set 5,d
                ret
mark_d6:        set 6,d
                ret
mark_d7:        set 7,d
                ret
ret_nz:         ret nz
                set 0,e
                ret
ret_z:          ret z
                set 1,e
                ret
ret_nc:         ret nc
                set 2,e
                ret
ret_c:          ret c
                set 3,e
                ret
ret_po:         ret po
                set 4,e
                ret
ret_pe:         ret pe
                set 5,e
                ret
ret_p:          ret p
                set 6,e
                ret
ret_m:          ret m
                set 7,e
                ret

t_djnz:
                ld b,5
                ld c,0
djnz_loop:
                inc c
                djnz djnz_loop
                ret
t_djnz256:
                ld b,0
                ld de,0
djnz256_loop:
                inc de
                djnz djnz256_loop
                ret

; RST 28h runs code copied to 0x0028.
t_rst:
                ld hl,rst_code
                ld de,0x0028
                ld bc,3
                ldir
                rst 0x28
                ret
rst_code:       db 0x3E, 0x77, 0xC9        ; ld a,0x77 / ret

t_jp_hl:
                ld hl,jp_target
                jp (hl)
jp_target:
                ld a,0x33
                ret

; A backward JR loop: B counts the passes; F is that of the last CP.
t_jr_back:
                ld b,0
jr_back_loop:
                inc b
                ld a,b
                cp 3
                jr nz,jr_back_loop
                ret

; ---------------------------------------------------------------------------
; Exchanges

vec_exchange:
                dw t_exaf,   0x12D7, 0x3428, 0x5555, 0x6666,  0x12D7, 0x3428, 0x3428, 0x6666
                dw t_exx,    0x1200, 0x1111, 0x2222, 0x4444,  0x1200, 0x1111, 0x2222, 0x3333
                dw t_exdehl, 0x0000, 0, 0x1234, 0x5678,       0x0000, 0, 0x5678, 0x1234
                dw 0

t_exaf:
                ex af,af'
                push bc
                pop af
                ex af,af'
                ex af,af'
                push af
                pop de
                ex af,af'
                ret
t_exx:
                exx
                ld bc,0x7777
                ld de,0x8888
                ld hl,0x3333
                exx
                ld hl,0
                exx
                push hl
                exx
                pop hl
                ret
t_exdehl:       ex de,hl
                ret

; ---------------------------------------------------------------------------
; NEG, RRD, RLD, I and R

vec_edmisc:
                dw t_neg,   0x8000, 0, 0, 0,            0x8087, 0, 0, 0
                dw t_neg,   0x00FF, 0, 0, 0,            0x0042, 0, 0, 0
                dw t_neg,   0x0100, 0, 0, 0,            0xFF93, 0, 0, 0
                dw t_rrd,   0x8401, 0x0020, 0, 0,       0x8081, 0x0042, 0, scratch
                dw t_rld,   0x7AFE, 0x0031, 0, 0,       0x7300, 0x001A, 0, scratch
                dw t_ld_i_ei, 0x8001, 0, 0, 0,          0x8085, 0, 0, 0
                dw t_ld_i_di, 0x00FE, 0, 0, 0,          0x0040, 0, 0, 0
                dw t_ld_r,  0x8000, 0, 0, 0,            0x8480, 0, 0, 0
                dw 0

t_neg:          neg
                ret
t_rrd:
                ld hl,scratch
                ld (hl),c
                rrd
                ld c,(hl)
                ret
t_rld:
                ld hl,scratch
                ld (hl),c
                rld
                ld c,(hl)
                ret
; LD A,I shows IFF2 in P/V.
t_ld_i_ei:
                ei
                ld i,a
                ld a,i
                di
                ret
t_ld_i_di:
                di
                ld i,a
                ld a,i
                ret
; LD R,A then two NOPs and LD A,R (two fetches): R went up by four.
t_ld_r:
                ld r,a
                nop
                nop
                ld a,r
                ret

; ---------------------------------------------------------------------------
; Port input: the harness answers port p with (p >> 8) ^ (p & 0xFF)

vec_io:
                dw t_in_a_n,  0x12D7, 0, 0, 0,        0x26D7, 0, 0, 0
                dw t_in_b_c,  0x00FF, 0x1234, 0, 0,   0x0001, 0x2634, 0, 0
                dw t_in_f_c,  0x0001, 0x0101, 0, 0,   0x0045, 0x0101, 0, 0
                dw t_inir,    0x00FF, 0x0310, 0, 0,   0x1242, 0x0010, 0x1011, scratch+3
                dw 0

t_in_a_n:       in a,(0x34)
                ret
t_in_b_c:       in b,(c)
                ret
t_in_f_c:       db 0xED, 0x70               ; IN (C): flags only
                ret
t_inir:
                ld hl,scratch
                inir
                ld a,(scratch)
                ld de,(scratch+1)
                ret

; ---------------------------------------------------------------------------
; Block instructions

vec_block:
                dw t_ldi,   0x00FF, 0x0002, 0, 0,   0x00ED, 0x0001, scratch+1, src+1
                dw t_ldir,  0x0000, 0, 0, 0,        0x5500, 0x0000, scratch+5, scratch+5
                dw t_lddr,  0x0001, 0, 0, 0,        0x1101, 0x0000, scratch-1, src-1
                dw t_cpir,  0x3301, 0, 0, 0,        0x3347, 0x0002, 0, src+3
                dw t_cpdr,  0xEE01, 0, 0, 0,        0xEE83, 0x0000, 0, src-1
                dw t_cpi,   0x10FF, 0x0002, 0, 0,   0x1097, 0x0001, 0, src+1
                dw 0

src:            db 0x11, 0x22, 0x33, 0x44, 0x55

t_ldi:
                ld hl,src
                ld de,scratch
                ldi
                ret
t_ldir:
                ld hl,src
                ld de,scratch
                ld bc,5
                ldir
                ld hl,scratch+4
                ld a,(hl)
                inc hl
                ret
t_lddr:
                ld hl,src+4
                ld de,scratch+4
                ld bc,5
                lddr
                ld a,(scratch)
                ret
t_cpir:
                ld hl,src
                ld bc,5
                cpir
                ret
t_cpdr:
                ld hl,src+4
                ld bc,5
                cpdr
                ret
t_cpi:
                ld hl,src
                cpi
                ret

; ---------------------------------------------------------------------------
; IX and IY

vec_index_group:
                dw t_ix_imm,    0x0000, 0, 0, 0,            0x0000, 0x1234, 0x5678, 0
                dw t_ix_disp,   0x0000, 0x1234, 0, 0,       0x4600, 0x1234, 0, 0
                dw t_ix_real_h, 0x0000, 0x9900, 0, 0x1122,  0x0000, 0x9900, 0, 0x9922
                dw t_ix_halves, 0x0000, 0x00AB, 0, 0,       0x1200, 0x34AB, 0xAB34, 0
                dw t_ix_incl,   0x0001, 0, 0, 0,            0x0051, 0x0000, 0, 0
                dw t_ix_add,    0x00FF, 0x0001, 0, 0,       0x00D4, 0x0001, 0, 0x1000
                dw t_iy_cb,     0x0000, 0x8000, 0, 0,       0x0011, 0x0100, 0, 0
                dw t_ix_setres, 0x00AA, 0, 0, 0,            0x00AA, 0x0100, 0, 0
                dw t_ix_jp,     0x0000, 0, 0, 0,            0x3300, 0, 0, 0
                dw t_ix_exsp,   0x0000, 0x1234, 0, 0,       0x0000, 0x5678, 0x1234, 0
                dw t_iy_alu,    0x1000, 0, 0, 0,            0x6600, 0, 0, 0
                dw 0

t_ix_imm:
                ld ix,0x1234
                ld iy,0x5678
                push ix
                pop bc
                push iy
                pop de
                ret
t_ix_disp:
                ld ix,scratch+0x10
                ld (ix-0x10),b
                ld (ix+5),c
                ld a,(ix-0x10)
                add a,(ix+5)
                ret
; LD H,(IX+d) loads the real H.
t_ix_real_h:
                ld ix,scratch
                ld (ix+1),b
                ld h,(ix+1)
                ret
t_ix_halves:
                ld ix,0x1234
                db 0xDD, 0x7C               ; LD A,IXH
                db 0xDD, 0x45               ; LD B,IXL
                db 0xDD, 0x61               ; LD IXH,C
                push ix
                pop de
                ret
t_ix_incl:
                ld ix,0x00FF
                db 0xDD, 0x2C               ; INC IXL
                push ix
                pop bc
                ret
t_ix_add:
                ld ix,0x0FFF
                add ix,bc
                push ix
                pop hl
                ret
t_iy_cb:
                ld iy,scratch
                ld (iy+3),b
                rlc (iy+3)
                ld b,(iy+3)
                bit 0,(iy+3)
                ret
t_ix_setres:
                ld ix,scratch
                ld (ix+0),0
                set 7,(ix+0)
                set 0,(ix+0)
                res 7,(ix+0)
                ld b,(ix+0)
                ret
t_ix_jp:
                ld ix,jp_target
                jp (ix)
t_ix_exsp:
                push bc
                ld ix,0x5678
                ex (sp),ix
                pop bc
                push ix
                pop de
                ret
t_iy_alu:
                ld iy,0x5656
                db 0xFD, 0x85               ; ADD A,IYL
                ret

; ---------------------------------------------------------------------------
; Undefined ED opcodes, ignored DD/FD prefixes, undefined DD CB forms

vec_undef:
                dw t_undef,   0x0001, 0x7F00, 0, 0,   0x0095, 0x8000, 0, 0
                dw 0

t_undef:
                db 0xED, 0x00               ; nothing
                db 0xDD, 0x04               ; the prefix is ignored: INC B
                db 0xED, 0x77               ; nothing
                db 0xFD, 0xCB, 0x05, 0x00   ; nothing, four bytes
                db 0xDD, 0xDD, 0x00         ; two ignored prefixes and a NOP
                db 0xED, 0x80               ; nothing
                ret

; ---------------------------------------------------------------------------
; Work areas

failures:       dw 0
vec_ptr:        dw 0
vec_index:      db 0
group_failed:   db 0
saved_sp:       dw 0
cur:            dw 0
cur_af:         dw 0
cur_bc:         dw 0
cur_de:         dw 0
cur_hl:         dw 0
want_af:        dw 0
want_bc:        dw 0
want_de:        dw 0
want_hl:        dw 0
res_af:         dw 0
res_bc:         dw 0
res_de:         dw 0
res_hl:         dw 0
                ds 8
scratch:        ds 32
                ds 256
stack_top:
