#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "measurement/measurement_data.h"
#include "measurement/measurement_data_file.h"

// Reads a measurement data file on a worker thread and hands the rows over
// in batches, so the owner's thread stays free (it shows progress and moves
// each batch into the chart) and the file's rows are never all in memory at
// once.
//
// At most kMaxQueuedBatches batches wait for the owner; the reader waits
// while the queue is full. Typical use on the owner's thread:
//
//   loader.Start(fileName);
//   while (loader.WaitForBatches(50)) {
//     for (MeasurementData& batch : loader.TakeBatches()) ... ;
//     ... show loader.Percent() ...
//   }
//   // the last TakeBatches, then loader.Result()
class MeasurementDataLoader {
 public:
  static constexpr std::int64_t kBatchRows = 16384;
  static constexpr std::size_t kMaxQueuedBatches = 4;

  MeasurementDataLoader() = default;
  // Cancels a running read and waits for the worker.
  ~MeasurementDataLoader();
  MeasurementDataLoader(const MeasurementDataLoader&) = delete;
  MeasurementDataLoader& operator=(const MeasurementDataLoader&) = delete;

  // Starts reading `fileName` with the settings of `reader` (its OnBatch,
  // BatchRows and OnProgress are the loader's own). A read still running is
  // cancelled first.
  void Start(const QString& fileName, const MeasurementDataFile& reader = MeasurementDataFile(),
             std::int64_t batchRows = kBatchRows);
  // Asks the worker to stop; Result() is then Cancelled.
  void Cancel();

  // Waits up to `timeoutMs` for a batch or for the end. Returns false once the
  // read has ended and every batch has been taken.
  bool WaitForBatches(int timeoutMs);
  // The batches ready now, in file order; each holds the header, the value
  // range of every row read so far and its rows (times from the first row).
  std::vector<MeasurementData> TakeBatches();

  bool Finished() const;
  // The read's outcome; meaningful once Finished(). On a failure with
  // PartialData the batches hold every row before the fault.
  MeasurementFileResult Result() const;
  // Progress of the read, 0..100 (in 5 % steps).
  int Percent() const { return percent_.load(); }
  // Rows handed over so far (taken or waiting).
  std::int64_t Rows() const;

 private:
  void Run(QString fileName, MeasurementDataFile reader);
  void Stop();

  std::thread worker_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<MeasurementData> queue_;
  bool finished_ = true;
  bool cancel_ = false;
  std::int64_t rows_ = 0;
  MeasurementFileResult result_;
  std::atomic<int> percent_{0};
};
