// Writes a realistic speed-camera list of N rows to stdout: European
// coordinates with six or seven decimals, the usual type codes, speeds and
// directions, CRLF line ends, and now and then a row out of range.
#include <cstdio>
#include <cstdlib>
#include <random>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: generate_list ROWS [SEED] > list.txt\n");
    return 2;
  }
  const long rows = std::atol(argv[1]);
  std::mt19937_64 random(argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 20141114);
  std::uniform_real_distribution<double> longitude(-9.5, 40.0), latitude(35.0, 70.0);
  const int types[] = {1, 1, 1, 2, 2, 3, 4, 5, 5, 192};
  const int speeds[] = {0, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};

  std::printf("IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\r\n");
  for (long i = 1; i <= rows; ++i) {
    const int decimals = random() % 2 ? 6 : 7;
    const double x = random() % 5000 == 0 ? 181.5 : longitude(random);
    const int dirType = static_cast<int>(random() % 3);
    const int direction = dirType == 0 ? 0 : static_cast<int>(random() % 360);
    std::printf("%ld,%.*f,%.*f,%d,%d,%d,%d\r\n", i, decimals, x, decimals, latitude(random),
                types[random() % 10], speeds[random() % 11], dirType, direction);
  }
  return 0;
}
