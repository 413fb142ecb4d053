// Writes a synthetic OpenStreetMap extract of N nodes as .osm XML to stdout,
// shaped like a country's: roads of 2 to 20 nodes carrying most nodes, a few
// tagged nodes, a speed camera every 2,000 nodes or so on a road, and for
// half of them an enforcement relation (device, from, to; some red light,
// some sections). bench/osm.sh turns it into .osm.pbf with osmium cat.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: generate_extract NODES [SEED] > extract.osm\n");
    return 2;
  }
  const long nodes = std::atol(argv[1]);
  std::mt19937_64 random(argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 20141114);
  std::uniform_real_distribution<double> step(-0.0005, 0.0005);
  const char* highways[] = {"residential", "residential", "service", "tertiary", "secondary", "primary", "track"};
  const char* speeds[] = {"30", "50", "50", "70", "100", "DE:urban", "30 mph"};
  const char* kinds[] = {"maxspeed", "maxspeed", "traffic_signals", "maxspeed;traffic_signals", "average_speed",
                         "check"};

  struct Way {
    long first, count;
  };
  std::vector<Way> ways;
  std::vector<long> cameras;
  std::printf("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<osm version=\"0.6\" generator=\"tabrino bench\">\n");
  double lat = 48.0, lon = 9.0;
  long id = 1;
  while (id <= nodes) {
    // A road starts somewhere in a 5 x 8 degree country and walks on.
    lat = 47.0 + static_cast<double>(random() % 5000000) / 1e6;
    lon = 6.0 + static_cast<double>(random() % 8000000) / 1e6;
    const long count = 2 + static_cast<long>(random() % 19);
    ways.push_back({id, count});
    for (long i = 0; i < count && id <= nodes; ++i, ++id) {
      lat += step(random);
      lon += step(random);
      const auto pick = static_cast<unsigned long>(random() % 2000);
      if (pick == 0 && i > 0 && i + 1 < count) {
        cameras.push_back(id);
        std::printf(" <node id=\"%ld\" version=\"1\" lat=\"%.7f\" lon=\"%.7f\">\n"
                    "  <tag k=\"highway\" v=\"speed_camera\"/><tag k=\"maxspeed\" v=\"%s\"/>\n </node>\n",
                    id, lat, lon, speeds[random() % 7]);
      } else if (pick < 40) {
        std::printf(" <node id=\"%ld\" version=\"1\" lat=\"%.7f\" lon=\"%.7f\">\n"
                    "  <tag k=\"highway\" v=\"crossing\"/>\n </node>\n", id, lat, lon);
      } else {
        std::printf(" <node id=\"%ld\" version=\"1\" lat=\"%.7f\" lon=\"%.7f\"/>\n", id, lat, lon);
      }
    }
  }
  long wayId = 1;
  for (const Way& way : ways) {
    std::printf(" <way id=\"%ld\" version=\"1\">\n", wayId++);
    for (long i = 0; i < way.count && way.first + i <= nodes; ++i) std::printf("  <nd ref=\"%ld\"/>\n", way.first + i);
    std::printf("  <tag k=\"highway\" v=\"%s\"/>%s\n </way>\n", highways[random() % 7],
                random() % 3 == 0 ? "<tag k=\"maxspeed\" v=\"50\"/>" : "");
  }
  long relationId = 1;
  for (const long camera : cameras) {
    if (random() % 2) continue;
    std::printf(" <relation id=\"%ld\" version=\"1\">\n"
                "  <member type=\"node\" ref=\"%ld\" role=\"device\"/><member type=\"node\" ref=\"%ld\" role=\"from\"/>"
                "<member type=\"node\" ref=\"%ld\" role=\"to\"/>\n"
                "  <tag k=\"type\" v=\"enforcement\"/><tag k=\"enforcement\" v=\"%s\"/>\n </relation>\n",
                relationId++, camera, camera - 1, camera + 1, kinds[random() % 6]);
  }
  std::printf("</osm>\n");
  return 0;
}
