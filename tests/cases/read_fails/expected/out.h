const int mem[] = {
