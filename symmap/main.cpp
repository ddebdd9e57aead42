// Placeholder entry until the driver is written.
int main() {
    return 255;
}
