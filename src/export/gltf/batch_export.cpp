#include "export/gltf/batch_export.h"

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>
#include <exception>
#include <mutex>
#include <new>
#include <numeric>

#include "errors/error.h"
#include "scene/scene_reader.h"

namespace plovant::gltf {

ExportOutcome ExportOne(const ExportJob& job, const ExportSettings& settings) {
    ExportOutcome outcome;
    try {
        const std::vector<uint8_t> bytes = job.read();
        const scene::Scene scene = scene::ReadScene(bytes, job.name);
        std::vector<std::string> warnings;
        for (const std::string& w : scene.warnings) warnings.push_back(w);
        GltfDocument document = SceneToGltf(scene, job.name, settings, warnings);
        WriteGltf(std::move(document), job.output, job.format);
        outcome.written = true;
        outcome.messages = std::move(warnings);
    } catch (const Error& e) {
        outcome.messages = {e.description()};
    } catch (const std::bad_alloc&) {
        outcome.messages = {job.name + ": not enough memory to export it"};
    } catch (const std::exception& e) {
        outcome.messages = {job.name + ": " + e.what()};
    }
    return outcome;
}

void ExportBatch(const std::vector<ExportJob>& jobs, const ExportSettings& settings, int threads,
                 const std::function<void(std::size_t, const ExportOutcome&)>& done) {
    std::mutex reporting;
    auto run = [&](std::size_t index) {
        const ExportOutcome outcome = ExportOne(jobs[index], settings);
        const std::lock_guard<std::mutex> lock(reporting);
        done(index, outcome);
    };
    if (threads == 1 || jobs.size() < 2) {
        for (std::size_t i = 0; i < jobs.size(); ++i) run(i);
        return;
    }
    QThreadPool pool;
    if (threads > 0) pool.setMaxThreadCount(threads);
    std::vector<std::size_t> indices(jobs.size());
    std::iota(indices.begin(), indices.end(), std::size_t(0));
    QtConcurrent::blockingMap(&pool, indices, run);
}

}  // namespace plovant::gltf
