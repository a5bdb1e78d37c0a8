"""Frame time on Wayland beside X11's: one overlay frame committed to a layer surface on a headless
sway at 1440x900 (80-pt cells) and 3840x2160 (20-pt cells with names), and paint_bench's X11 frames
of the same scenes in the same run. Medians of five repetitions, in milliseconds."""

import json
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "e2e"))
from harness import BUILD_DIR  # noqa: E402
from wayland_harness import WaylandSession  # noqa: E402

REPEAT = ["--benchmark_repetitions=5", "--benchmark_report_aggregates_only=true", "--benchmark_format=json"]
SCENES = [((1440, 900), "waylandFrameAt80", "frame1440x900At80"),
          ((3840, 2160), "waylandFrameAt20Labels", "frame3840x2160At20Labels")]


def median(output, name):
    """The median row of the benchmark whose name (before any /argument) is name."""
    rows = json.loads(output)["benchmarks"]
    return next(b for b in rows if b["aggregate_name"] == "median" and b["run_name"].split("/")[0] == name)


def main():
    session = WaylandSession()
    try:
        for (width, height), wayland, x11 in SCENES:
            session.swaymsg("output", "HEADLESS-1", "resolution", f"{width}x{height}")
            run = session.run([os.path.join(BUILD_DIR, "bench", "wayland_frame_bench"), f"--benchmark_filter=^{wayland}/",
                               *REPEAT])
            if run.returncode != 0:
                raise SystemExit(run.stderr.decode())
            painted = subprocess.run([os.path.join(BUILD_DIR, "bench", "paint_bench"), f"--benchmark_filter=^{x11}/1$",
                                      *REPEAT], capture_output=True, check=True)
            frame, on_x11 = median(run.stdout, wayland), median(painted.stdout, x11)["real_time"]
            print(f"{width}x{height}: Wayland frame {frame['real_time']:.2f} ms (Tavelin drawing and committing "
                  f"{frame['ours_ms']:.2f}, the rest the compositor taking it); "
                  f"X11 paint_bench frame {on_x11:.2f} ms; Wayland / X11 {frame['real_time'] / on_x11:.2f}")
    finally:
        session.close()


if __name__ == "__main__":
    main()
