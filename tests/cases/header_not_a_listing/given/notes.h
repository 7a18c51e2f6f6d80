/* Notes on the boot code:
.1 see section 1 of the manual
*/
