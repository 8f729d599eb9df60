#include <cstdio>

int main() {
  std::fputs("macsim: no tools yet\n", stderr);
  return 1;
}
