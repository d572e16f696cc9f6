// The floor for a start: the least a C++ program costs to exec and exit.
int main()
{
    return 0;
}
