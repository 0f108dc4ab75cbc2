int a;
void CFoo::Bar(int a, int b)
{}
