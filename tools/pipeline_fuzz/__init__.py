"""The pipeline fuzzer: adversarial layouts and rule files, every batch command
on them, and the classes of what went wrong (see tools/fuzz_pipeline.py)."""
