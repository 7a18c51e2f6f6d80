/* a C file */
int x;
