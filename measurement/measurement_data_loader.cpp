#include "measurement/measurement_data_loader.h"

#include <chrono>
#include <utility>

MeasurementDataLoader::~MeasurementDataLoader() { Stop(); }

void MeasurementDataLoader::Stop() {
  Cancel();
  if (worker_.joinable()) worker_.join();
}

void MeasurementDataLoader::Start(const QString& fileName, const MeasurementDataFile& reader,
                                  std::int64_t batchRows) {
  Stop();
  {
    std::lock_guard lock(mutex_);
    queue_.clear();
    finished_ = false;
    cancel_ = false;
    rows_ = 0;
    result_ = MeasurementFileResult();
  }
  percent_ = 0;
  MeasurementDataFile file = reader;
  file.BatchRows = batchRows;
  worker_ = std::thread(&MeasurementDataLoader::Run, this, fileName, std::move(file));
}

void MeasurementDataLoader::Cancel() {
  {
    std::lock_guard lock(mutex_);
    cancel_ = true;
  }
  changed_.notify_all();
}

void MeasurementDataLoader::Run(QString fileName, MeasurementDataFile reader) {
  // Hands a batch over; waits while the owner has enough to do.
  std::int64_t batches = 0;
  auto handOver = [this, &batches](const MeasurementData& batch) {
    ++batches;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return cancel_ || queue_.size() < kMaxQueuedBatches; });
    if (cancel_) return false;
    queue_.push_back(batch);
    rows_ += batch.SampleCount();
    lock.unlock();
    changed_.notify_all();
    return true;
  };
  reader.OnBatch = handOver;
  reader.OnProgress = [this](int percent) { percent_ = percent; };
  MeasurementData data;
  MeasurementFileResult result = reader.Read(fileName, data);
  // The rows after the last full batch; a good file without rows still
  // hands over its header.
  if ((data.SampleCount() > 0 && (result.Ok() || result.PartialData)) || (result.Ok() && batches == 0))
    handOver(data);
  {
    std::lock_guard lock(mutex_);
    if (cancel_ && result.Ok())
      result = MeasurementFileResult{MeasurementFileError::Cancelled, 0,
                                     QStringLiteral("Reading was cancelled."), true};
    result_ = std::move(result);
    finished_ = true;
  }
  changed_.notify_all();
}

bool MeasurementDataLoader::WaitForBatches(int timeoutMs) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                    [this] { return finished_ || !queue_.empty(); });
  return !(finished_ && queue_.empty());
}

std::vector<MeasurementData> MeasurementDataLoader::TakeBatches() {
  std::vector<MeasurementData> out;
  {
    std::lock_guard lock(mutex_);
    out.reserve(queue_.size());
    for (MeasurementData& batch : queue_) out.push_back(std::move(batch));
    queue_.clear();
  }
  changed_.notify_all();
  return out;
}

bool MeasurementDataLoader::Finished() const {
  std::lock_guard lock(mutex_);
  return finished_;
}

MeasurementFileResult MeasurementDataLoader::Result() const {
  std::lock_guard lock(mutex_);
  return result_;
}

std::int64_t MeasurementDataLoader::Rows() const {
  std::lock_guard lock(mutex_);
  return rows_;
}
