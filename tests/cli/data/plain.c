int x = 0;
int y = 1;
