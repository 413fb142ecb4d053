// Writes a speed-camera list of N rows to stdout, CRLF line ends. SHAPE:
//   spread    (the default) a realistic list: European coordinates with six
//             or seven decimals, the usual type codes, speeds and directions,
//             and now and then a row out of range;
//   place     one crowded place: four rows in five are one camera entered
//             again and again, the others lie within about a kilometre of it;
//   latitude  every row on one parallel, at longitudes all round the earth.
// The last two have one direction, so that every row is a near copy's
// candidate of every other.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

int main(int argc, char** argv) {
  const char* shape = argc > 3 ? argv[3] : "spread";
  if (argc < 2 || (std::strcmp(shape, "spread") != 0 && std::strcmp(shape, "place") != 0 &&
                   std::strcmp(shape, "latitude") != 0)) {
    std::fprintf(stderr, "usage: generate_list ROWS [SEED [spread|place|latitude]] > list.txt\n");
    return 2;
  }
  const long rows = std::atol(argv[1]);
  std::mt19937_64 random(argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 20141114);
  const int types[] = {1, 1, 1, 2, 2, 3, 4, 5, 5, 192};
  const int speeds[] = {0, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};

  std::printf("IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\r\n");
  if (std::strcmp(shape, "spread") != 0) {
    const bool place = std::strcmp(shape, "place") == 0;
    // About a kilometre either way at 48 degrees north.
    std::uniform_real_distribution<double> x(place ? 11.5620 - 0.0135 : -180.0, place ? 11.5620 + 0.0135 : 180.0);
    std::uniform_real_distribution<double> y(48.1370 - 0.009, 48.1370 + 0.009);
    for (long i = 1; i <= rows; ++i) {
      double longitude = 11.5620, latitude = 48.1370;
      if (!place) {
        longitude = x(random);
      } else if (random() % 5 == 0) {
        longitude = x(random);
        latitude = y(random);
      }
      std::printf("%ld,%.7f,%.7f,%d,%d,0,0\r\n", i, longitude, latitude, types[random() % 10], speeds[random() % 11]);
    }
    return 0;
  }
  std::uniform_real_distribution<double> longitude(-9.5, 40.0), latitude(35.0, 70.0);
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
