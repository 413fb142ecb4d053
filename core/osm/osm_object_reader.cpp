#include "core/osm/osm_object_reader.h"

#include "core/base/errors.h"
#include "core/osm/editor_deletions.h"
#include "core/platform/file_io.h"

#include <osmium/io/compression.hpp>
#include <osmium/io/detail/input_format.hpp>
#include <osmium/io/detail/queue_util.hpp>
#include <osmium/io/detail/read_thread.hpp>
#include <osmium/io/detail/read_write.hpp>
#include <osmium/io/file.hpp>
#include <osmium/io/header.hpp>
#include <osmium/io/pbf_input.hpp>
#include <osmium/thread/pool.hpp>
#include <osmium/thread/util.hpp>
#ifdef TABRINO_OSM_XML
#include <osmium/io/xml_input.hpp>
#endif
#ifdef TABRINO_OSM_BZIP2
#include <osmium/io/bzip2_compression.hpp>
#endif

#include <atomic>
#include <exception>
#include <future>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

namespace tabrino {

namespace io = osmium::io;

// The pipeline of libosmium's Reader, fed from our descriptor: a thread
// reads (and decompresses) the file into one queue, a parser's thread turns
// that into buffers of objects in another, which read() takes from. The
// members are destroyed as the Reader's are: the parser's thread is joined
// before the queues it uses go.
struct OsmObjectReader::Threads {
  std::atomic<std::size_t> offset{0};
  io::detail::future_string_queue_type input{io::detail::get_input_queue_size(), "raw_input"};
  std::unique_ptr<io::Decompressor> decompressor;
  std::optional<io::detail::ReadThreadManager> reading;
  io::detail::future_buffer_queue_type output{io::detail::get_osmdata_queue_size(), "parser_results"};
  io::detail::queue_wrapper<osmium::memory::Buffer> results{output};
  osmium::thread::thread_handler parsing;
  // A buffer the parser handed over with others chained to it, given out
  // one at a time.
  osmium::memory::Buffer chained;
  bool ended = false;

  ~Threads() {
    // As the Reader closes: the reading stops, what is queued for us is
    // dropped (a parser waiting for room in the queue goes on), and the
    // reading thread ends; the parser's ends with what it was given.
    if (reading) reading->stop();
    results.shutdown();
    if (reading) {
      try {
        reading->close();
      } catch (...) {
        // Already failing, or done: nothing is left to tell.
      }
    }
  }
};

namespace {

void closeQuietly(int descriptor) noexcept {
  try {
    io::detail::reliable_close(descriptor);
  } catch (...) {
    // Only read from: nothing was lost.
  }
}

const char* osmiumFormat(ExtractFormat format) {
  switch (format) {
    case ExtractFormat::Pbf: return "pbf";
    case ExtractFormat::Xml: return "osm";
    case ExtractFormat::XmlBzip2: return "osm.bz2";
  }
  return "";
}

// The text of an .osm file with the objects an editor deleted marked so
// for the parser (see EditorDeletions).
class EditorDeletionsReader : public io::Decompressor {
 public:
  explicit EditorDeletionsReader(std::unique_ptr<io::Decompressor> text) : text_(std::move(text)) {}

  std::string read() override {
    while (!ended_) {
      std::string piece = text_->read();
      if (piece.empty()) {
        ended_ = true;
        return deletions_.rest();
      }
      piece = deletions_.mend(std::move(piece));
      if (!piece.empty()) return piece;
    }
    return {};
  }
  void close() override { text_->close(); }

 private:
  std::unique_ptr<io::Decompressor> text_;
  EditorDeletions deletions_;
  bool ended_ = false;
};

// What reads the file for an XML parser, and closes `descriptor`: the
// bytes as they stand, or decompressed, counting them at `offset`.
std::unique_ptr<io::Decompressor> decompressorFor(ExtractFormat format, int descriptor,
                                                  std::atomic<std::size_t>* offset) {
  std::unique_ptr<io::Decompressor> text;
#ifdef TABRINO_OSM_BZIP2
  if (format == ExtractFormat::XmlBzip2) text = std::make_unique<io::Bzip2Decompressor>(descriptor);
#else
  (void)format;
#endif
  if (!text) text = std::make_unique<io::NoDecompressor>(descriptor);
  text->set_offset_ptr(offset);
  return std::make_unique<EditorDeletionsReader>(std::move(text));
}

// Runs a parser that reads the descriptor itself (PBF, which reads each
// block whole where it is needed). It closes the descriptor as its last
// step; if it fails before, the descriptor is closed here.
void runDirectParser(io::detail::Parser& parser, int descriptor) {
  try {
    parser.run();
  } catch (const std::system_error& error) {
    if (std::string_view(error.what()).find("Close failed") == std::string_view::npos) closeQuietly(descriptor);
    throw;
  } catch (...) {
    closeQuietly(descriptor);
    throw;
  }
}

}  // namespace

OsmObjectReader::OsmObjectReader(std::FILE* file, const std::string& shownName, ExtractFormat format,
                                 osmium::osm_entity_bits::type entities)
    : threads_(std::make_unique<Threads>()) {
  // Throws for a format this build does not read.
  const io::detail::ParserFactory::create_parser_type createParser =
      io::detail::ParserFactory::instance().get_creator_function(io::File("", osmiumFormat(format)));
  clearSystemError();
  const int descriptor = descriptorAtStart(file);
  if (descriptor < 0) throw FileReadError(shownName, lastSystemError());
  Threads& threads = *threads_;
  // As libosmium's Reader does: the PBF parser reads the descriptor itself,
  // an XML parser what the reading thread queues for it.
  const int direct = format == ExtractFormat::Pbf ? descriptor : -1;
  try {
    threads.decompressor = direct >= 0 ? std::make_unique<io::DummyDecompressor>()
                                       : decompressorFor(format, descriptor, &threads.offset);
    threads.reading.emplace(*threads.decompressor, threads.input);
    threads.parsing = osmium::thread::thread_handler{[&threads, createParser, entities, direct] {
      std::promise<io::Header> header;  // nobody asks for it
      std::unique_ptr<io::detail::Parser> parser;
      try {
        io::detail::parser_arguments arguments{osmium::thread::Pool::default_instance(),
                                               direct,
                                               threads.input,
                                               threads.output,
                                               header,
                                               &threads.offset,
                                               entities,
                                               io::read_meta::no,
                                               io::buffers_type::any,
                                               false};
        parser = createParser(arguments);
        if (direct >= 0) {
          runDirectParser(*parser, direct);
        } else {
          parser->run();
        }
      } catch (...) {
        if (!parser) {
          // A parser, when it goes, stops the reading thread from waiting
          // for room in the queue it reads; without one, that is done here.
          threads.input.shutdown();
          if (direct >= 0) closeQuietly(direct);
        }
        io::detail::add_to_queue(threads.output, std::current_exception());
      }
      io::detail::add_end_of_data_to_queue(threads.output);
    }};
  } catch (...) {
    // The parser's thread never started: the descriptor it would have read
    // is still ours.
    if (direct >= 0) closeQuietly(direct);
    throw;
  }
}

OsmObjectReader::~OsmObjectReader() = default;

osmium::memory::Buffer OsmObjectReader::read() {
  Threads& threads = *threads_;
  if (threads.chained) {
    if (threads.chained.has_nested_buffers()) return std::move(*threads.chained.get_last_nested());
    return std::exchange(threads.chained, osmium::memory::Buffer{});
  }
  // An empty buffer is not the end: only an invalid one is.
  while (!threads.ended) {
    osmium::memory::Buffer buffer = threads.results.pop();
    if (io::detail::at_end_of_data(buffer)) {
      threads.ended = true;
      break;
    }
    if (buffer.has_nested_buffers()) {
      threads.chained = std::move(buffer);
      buffer = std::move(*threads.chained.get_last_nested());
    }
    if (buffer.committed() > 0) return buffer;
  }
  return osmium::memory::Buffer{};
}

std::uint64_t OsmObjectReader::offset() const noexcept { return threads_->offset.load(); }

}  // namespace tabrino
