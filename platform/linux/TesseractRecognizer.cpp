#include "platform/linux/TesseractRecognizer.h"

#include "text/UnicodeText.h"

#include <omp.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <string>

#ifndef MORVEL_TESSDATA_DIR
#error "MORVEL_TESSDATA_DIR must name the folder that holds eng.traineddata"
#endif

namespace morvel::linux_ax {
namespace {

// Enlarging beyond this many pixels costs more time than it wins accuracy.
constexpr long long mostUpscaledPixels = 4096LL * 4096LL;
// The density X reports for ordinary screens; the recogniser wants a figure.
constexpr int screenDotsPerInch = 96;
constexpr float percent = 100.0F;

// Tesseract's line text ends with a line break; the observation holds the line.
std::optional<std::string> lineText(const char* raw) {
  if (raw == nullptr) return std::nullopt;
  std::string text = repairUtf8(raw);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.empty()) return std::nullopt;
  return text;
}

}  // namespace

TesseractRecognizer::TesseractRecognizer() = default;
TesseractRecognizer::~TesseractRecognizer() = default;

bool TesseractRecognizer::ready() {
  if (state_ == State::NotLoaded) {
    // OpenMP threads in the LSTM engine slowed recognition about fivefold on two
    // cores; one thread, fixed here rather than through the environment.
    omp_set_dynamic(0);
    omp_set_num_threads(1);
    engine_ = std::make_unique<tesseract::TessBaseAPI>();
    // Its diagnostics would otherwise go to standard error.
    engine_->SetVariable("debug_file", "/dev/null");
    const bool loaded = engine_->Init(MORVEL_TESSDATA_DIR, "eng", tesseract::OEM_LSTM_ONLY) == 0;
    state_ = loaded ? State::Loaded : State::Failed;
    if (!loaded) {
      engine_.reset();
    } else {
      engine_->SetPageSegMode(tesseract::PSM_SPARSE_TEXT);
    }
  }
  return state_ == State::Loaded;
}

ocr::NormalizedBox normalizedBox(const GreyCapture& capture, int scale, int left, int top, int right, int bottom) {
  const double fullWidth = capture.widthPx();
  const double fullHeight = capture.heightPx();
  const double x0 = capture.clipX() + static_cast<double>(left) / scale;
  const double y0 = capture.clipY() + static_cast<double>(top) / scale;
  const double x1 = capture.clipX() + static_cast<double>(right) / scale;
  const double y1 = capture.clipY() + static_cast<double>(bottom) / scale;
  return ocr::NormalizedBox{x0 / fullWidth, (fullHeight - y1) / fullHeight, (x1 - x0) / fullWidth,
                            (y1 - y0) / fullHeight};
}

std::optional<std::vector<ocr::Observation>> TesseractRecognizer::recognize(const GreyCapture& capture) {
  const GreyImage& visible = capture.visible();
  if (visible.width <= 0 || visible.height <= 0 || !ready()) return std::nullopt;

  GreyImage prepared = visible;
  makeTextDark(prepared);
  int scale = 1;
  if (4LL * prepared.width * prepared.height <= mostUpscaledPixels) {
    prepared = upscaleTwice(prepared);
    scale = 2;
  }

  engine_->SetImage(prepared.pixels.data(), prepared.width, prepared.height, 1, prepared.width);
  engine_->SetSourceResolution(screenDotsPerInch * scale);
  std::optional<std::vector<ocr::Observation>> observations;
  if (engine_->Recognize(nullptr) == 0) {
    observations.emplace();
    std::unique_ptr<tesseract::ResultIterator> line(engine_->GetIterator());
    if (line) {
      do {
        if (line->Empty(tesseract::RIL_TEXTLINE)) continue;
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
        if (!line->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom)) continue;
        std::unique_ptr<char[]> raw(line->GetUTF8Text(tesseract::RIL_TEXTLINE));
        ocr::Observation observation;
        observation.text = lineText(raw.get());
        observation.confidence = line->Confidence(tesseract::RIL_TEXTLINE) / percent;
        observation.box = normalizedBox(capture, scale, left, top, right, bottom);
        observations->push_back(std::move(observation));
      } while (line->Next(tesseract::RIL_TEXTLINE));
    }
  }
  engine_->Clear();
  return observations;
}

}  // namespace morvel::linux_ax
