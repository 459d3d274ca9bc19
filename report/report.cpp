#include "report/report.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "matrix/similarity.h"
#include "report/number_format.h"

namespace {

// Position of the pair (column, row), column > row, in the order the tables
// visit them.
std::size_t PairIndex(std::size_t count, std::size_t column, std::size_t row) {
  return row * (2 * count - row - 1) / 2 + (column - row - 1);
}

// Runs produce(chunk, text) for chunks 0 .. count - 1 on up to `threads`
// threads, this one included, and writes each text to `out` in chunk order.
// At most a few texts wait at a time, which bounds memory. A failure to write
// stops the other threads before it propagates.
template <typename Produce>
void WriteChunksInOrder(std::size_t count, unsigned threads, const Produce& produce,
                        OutputStream& out) {
  struct Slot {
    std::string text;
    bool ready = false;
  };
  const std::size_t window = 2 * std::size_t{threads} + 2;
  std::vector<Slot> slots(window);
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t next = 0;
  std::size_t written = 0;
  bool stop = false;
  std::exception_ptr failure;

  const auto may_take = [&] { return next < count && next < written + window; };
  // Produces the next chunk; called and returning with the lock held.
  const auto take = [&](std::unique_lock<std::mutex>& lock) {
    const std::size_t chunk = next++;
    Slot& slot = slots[chunk % window];
    std::string text = std::move(slot.text);
    lock.unlock();
    try {
      text.clear();
      produce(chunk, text);
    } catch (...) {
      lock.lock();
      if (!failure) failure = std::current_exception();
      stop = true;
      changed.notify_all();
      return;
    }
    lock.lock();
    slot.text = std::move(text);
    slot.ready = true;
    changed.notify_all();
  };
  const auto work = [&] {
    std::unique_lock lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return stop || next >= count || may_take(); });
      if (stop || next >= count) return;
      take(lock);
    }
  };

  std::vector<std::thread> workers;
  const auto finish = [&] {
    {
      std::lock_guard lock(mutex);
      stop = true;
    }
    changed.notify_all();
    for (std::thread& worker : workers) worker.join();
  };
  try {
    for (unsigned i = 1; i < threads && i < count; ++i) workers.emplace_back(work);
    std::unique_lock lock(mutex);
    while (written < count && !stop) {
      Slot& slot = slots[written % window];
      if (slot.ready) {
        slot.ready = false;
        std::string text = std::move(slot.text);
        lock.unlock();
        out.Write(text);
        lock.lock();
        slot.text = std::move(text);  // its buffer serves a later chunk
        ++written;
        changed.notify_all();
      } else if (may_take()) {
        take(lock);
      } else {
        changed.wait(lock);
      }
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
  if (failure) std::rethrow_exception(failure);
}

// Row ranges [begin, end) of about `target` values each.
std::vector<std::size_t> RowChunkStarts(std::size_t count, std::size_t target) {
  std::vector<std::size_t> starts;
  std::size_t values = target;
  for (std::size_t row = 0; row + 1 < count; ++row) {
    if (values >= target) {
      starts.push_back(row);
      values = 0;
    }
    values += count - row - 1;
  }
  starts.push_back(count < 1 ? 0 : count - 1);
  return starts;
}

// Appends the start of row line `row`: its tag and a TAB for it and each
// column left of the diagonal.
void AppendRowStart(std::string& text, std::size_t row) {
  AppendFileTag(text, row + 1);
  text.append(row + 1, '\t');
}

void AppendHeading(std::string_view title, std::size_t count, OutputStream& out) {
  WriteLine(out, title);
  std::string line = "\t";
  for (std::size_t column = 1; column < count; ++column) {
    AppendFileTag(line, column + 1);
    line.push_back('\t');
  }
  WriteLine(out, line);
}

// Appends each value and a TAB, then the line end.
template <typename Value>
void AppendValues(std::string& text, std::size_t values, const Value& value) {
  const std::size_t start = text.size();
  text.resize(start + values * (kMaxSimilarityText + 1) + kLineEnd.size());
  char* at = text.data() + start;
  for (std::size_t i = 0; i < values; ++i) {
    at = WriteSimilarity(at, value(i));
    *at++ = '\t';
  }
  at = std::copy(kLineEnd.begin(), kLineEnd.end(), at);
  text.resize(static_cast<std::size_t>(at - text.data()));
}

}  // namespace

void AppendFileTag(std::string& text, std::size_t number) {
  const std::string digits = std::to_string(number);
  text.push_back('[');
  if (digits.size() < 3) text.append(3 - digits.size(), ' ');
  text.append(digits).push_back(']');
}

void WriteSimilarityTable(std::string_view title, const FileList& list, const PairMeasure& measure,
                          OutputStream& out) {
  const std::size_t count = list.Count();
  AppendHeading(title, count, out);
  std::string line;
  for (std::size_t row = 0; row + 1 < count; ++row) {
    line.clear();
    AppendRowStart(line, row);
    AppendValues(line, count - row - 1, [&](std::size_t i) { return measure(row + 1 + i, row); });
    out.Write(line);
  }
}

void WriteReport(const FileList& list, OutputStream& out, OutputStream& err,
                 std::size_t max_kept_pairs) {
  const std::size_t count = list.Count();
  std::string line;
  for (std::size_t position = 0; position < count; ++position) {
    line.clear();
    AppendFileTag(line, position + 1);
    line.append("\t").append(list[position].name);
    WriteLine(out, line);
  }
  WriteLine(out, "");
  WriteLine(err, std::to_string(count) + " files to cross-compare:");

  // The matrices side by side, so that a row's pairs are computed many at a
  // time; the values of a pair are computed once when they may be kept.
  std::vector<Matrix> intra_matrices(count), inter_matrices(count);
  for (std::size_t position = 0; position < count; ++position) {
    intra_matrices[position] = list[position].matrix.IntraMatrix;
    inter_matrices[position] = list[position].matrix.InterMatrix;
  }
  const std::size_t pairs = count < 2 ? 0 : count * (count - 1) / 2;
  const bool keep = pairs <= max_kept_pairs;
  std::vector<double> kept_intra(keep ? pairs : 0);
  std::vector<double> kept_inter(keep ? pairs : 0);

  const unsigned threads =
      pairs < 4096 ? 1 : std::clamp(std::thread::hardware_concurrency(), 1U, 8U);
  const std::vector<std::size_t> starts =
      RowChunkStarts(count, std::clamp<std::size_t>(pairs / (8 * threads), 1024, 16384));

  // Computes the similarities of row `row` with each later file into
  // `values`, or takes them from `kept`.
  const auto row_values = [&](const std::vector<Matrix>& matrices, std::vector<double>& kept,
                              bool compute, std::size_t row, std::vector<double>& values) {
    const std::size_t n = count - row - 1;
    values.resize(n);
    double* const stored = keep ? kept.data() + PairIndex(count, row + 1, row) : nullptr;
    if (!compute) {
      std::copy(stored, stored + n, values.begin());
      return;
    }
    MatrixSimilarities(std::span(matrices).subspan(row + 1), matrices[row], values);
    if (stored != nullptr) std::copy(values.begin(), values.end(), stored);
  };
  const auto write_table = [&](std::string_view title, int table) {
    AppendHeading(title, count, out);
    WriteChunksInOrder(
        starts.size() - 1, threads,
        [&](std::size_t chunk, std::string& text) {
          std::vector<double> intra, inter;
          for (std::size_t row = starts[chunk]; row < starts[chunk + 1]; ++row) {
            AppendRowStart(text, row);
            const std::size_t n = count - row - 1;
            if (table == 0) {
              row_values(intra_matrices, kept_intra, true, row, intra);
              AppendValues(text, n, [&](std::size_t i) { return ToExtended(intra[i]); });
            } else if (table == 1) {
              row_values(inter_matrices, kept_inter, true, row, inter);
              AppendValues(text, n, [&](std::size_t i) { return ToExtended(inter[i]); });
            } else {
              row_values(intra_matrices, kept_intra, !keep, row, intra);
              row_values(inter_matrices, kept_inter, !keep, row, inter);
              AppendValues(text, n,
                           [&](std::size_t i) { return CombineSimilarities(intra[i], inter[i]); });
            }
          }
        },
        out);
  };
  write_table("Intra matrix similarities:", 0);
  WriteLine(out, "");
  write_table("Inter matrix similarities:", 1);
  WriteLine(out, "");
  write_table("Overall similarities:", 2);
  // The finish line says the report is complete, so the report is passed
  // on first: a failure to write it must show instead of the finish line.
  out.Flush();
  err.Write("\rCross compare finished.\r\n");
}
