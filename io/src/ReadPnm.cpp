// PNM images (P1 to P6) through libnetpbm. GDAL reads only binary P5/P6 files
// and ignores maxval, so the netpbm library itself decodes every variant.
//
// libnetpbm reports errors by a longjmp to a process-wide jump buffer and
// calls process-wide message hooks, so every use is serialised by a mutex
// and the decoding function keeps only trivially destructible locals.
#include "Readers.h"

extern "C" {
#include <netpbm/pam.h>
}

#include <csetjmp>
#include <cstddef>
#include <cstring>
#include <mutex>

#include "RecordFill.h"

namespace zentrel {
namespace io {

namespace {

std::mutex gNetpbmMutex;  // guards libnetpbm's global jump buffer and hooks
char gNetpbmError[256];   // the last error message, under the mutex

void KeepError(const char* message) {
  std::strncpy(gNetpbmError, message ? message : "", sizeof gNetpbmError - 1);
  gNetpbmError[sizeof gNetpbmError - 1] = '\0';
}
void Quiet(const char*) {}

// The part of struct pam this reader uses (through tuple_type). libnetpbm's
// PAM_STRUCT_SIZE macro computes this through a null pointer, which is
// undefined behaviour; offsetof is the sound spelling.
constexpr int kPamSize =
    static_cast<int>(offsetof(struct pam, tuple_type) + sizeof(pam::tuple_type));

// What the decoding needs and gives back; plain data, safe across longjmp.
struct PnmJob {
  std::FILE* stream;
  struct pam header;
  tuple* row;  // libnetpbm's row buffer, freed by the caller
  bool headerRead;
};

// Runs call under a jump buffer of its own; false when libnetpbm reported an
// error (it long-jumps out instead of returning, and aborts on no memory).
template <typename Call>
bool Guarded(Call call) {
  jmp_buf jump;
  jmp_buf* previous = nullptr;
  pm_setjmpbufsave(&jump, &previous);
  if (setjmp(jump) != 0) {
    pm_setjmpbuf(previous);
    return false;
  }
  call();
  pm_setjmpbuf(previous);
  return true;
}

// Reads the header (step 0) or the next row (step 1).
bool Step(PnmJob* job, int step) {
  return Guarded([job, step] {
    if (step == 0) {
      pnm_readpaminit(job->stream, &job->header, kPamSize);
      job->headerRead = true;
    } else {
      pnm_readpamrow(&job->header, job->row);
    }
  });
}

// Allocates the row buffer.
bool AllocateRow(PnmJob* job) {
  return Guarded([job] { job->row = pnm_allocpamrow(&job->header); });
}

Status Fail(const char* what) {
  return Status::Fail(std::string(what) + (gNetpbmError[0] ? gNetpbmError : "unreadable data"));
}

}  // namespace

Status ReadPnmStream(std::FILE* stream, CImageDataModel& image) {
  if (!image.IsEmpty()) return Status::Fail("the record already holds an image");
  std::lock_guard<std::mutex> lock(gNetpbmMutex);
  static bool initialised = false;
  if (!initialised) {
    pm_init("zentrel-io", 0);
    initialised = true;
  }
  pm_setusererrormsgfn(KeepError);
  pm_setusermessagefn(Quiet);
  gNetpbmError[0] = '\0';

  // pam-refused: P7 (PAM) is refused before libnetpbm sees it: its PAM header reader
  // leaks memory when it stops at a malformed header line.
  const int first = std::fgetc(stream), second = std::fgetc(stream);
  if (first == 'P' && second == '7')
    return Status::Fail("unsupported: PAM (P7) files (P1 to P6 are read)");
  if (first == EOF || second == EOF || std::fseek(stream, -2, SEEK_CUR) != 0)
    return Status::Fail("damaged file: no PNM header");

  PnmJob job{};
  job.stream = stream;
  if (!Step(&job, 0)) return Fail("damaged file: ");
  const struct pam& h = job.header;
  SampleLayout layout;
  layout.maxValue = static_cast<unsigned>(h.maxval);
  switch (h.depth) {
    case 1:
      layout.kind = SampleLayout::Grey;
      break;
    case 2:
      layout.kind = SampleLayout::GreyAlpha;
      break;
    case 3:
      layout.kind = SampleLayout::Rgb;
      break;
    case 4:
      layout.kind = SampleLayout::Rgba;
      break;
    default:
      return Status::Fail("unsupported: a PAM image of " + std::to_string(h.depth) +
                          " channels (the record holds grey or RGB, with or without alpha)");
  }
  RecordFill fill(image, layout);
  Status begun = fill.Begin(static_cast<std::uint64_t>(h.width > 0 ? h.width : 0),
                            static_cast<std::uint64_t>(h.height > 0 ? h.height : 0));
  if (!begun) return begun;
  if (!AllocateRow(&job)) {
    fill.Abandon();
    return Fail("too large: ");
  }
  const unsigned width = static_cast<unsigned>(h.width), depth = static_cast<unsigned>(h.depth);
  std::vector<std::uint16_t> samples(static_cast<std::size_t>(width) * depth);
  Status result = Status::Ok();
  for (int y = 0; y < h.height; ++y) {
    if (!Step(&job, 1)) {
      fill.Abandon();
      result = Fail("damaged file: ");
      break;
    }
    for (unsigned x = 0; x < width; ++x)
      for (unsigned c = 0; c < depth; ++c) {
        const sample v = job.row[x][c];
        samples[static_cast<std::size_t>(x) * depth + c] =
            static_cast<std::uint16_t>(v > h.maxval ? h.maxval : v);
      }
    fill.PutRow(static_cast<unsigned>(y), samples.data());
  }
  pnm_freepamrow(job.row);
  return result;
}

}  // namespace io
}  // namespace zentrel
