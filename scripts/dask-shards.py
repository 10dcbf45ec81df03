#!/usr/bin/python3
"""One seeded run of pelmora-gen as a Dask array, drawn in parts on a cluster.

Each part is one `pelmora-gen --shard I/N --binary` process run by a Dask
worker; the parts, in order, make one array of float64 values that is byte
for byte the run one process would write:

    scripts/dask-shards.py --count 1e7 --shards 8 --seed 2026 standard-normal
    scripts/dask-shards.py --output normal.bin --count 1e7 --seed 2026 gamma 1 2

This starts a LocalCluster of --workers processes on this machine; give
--scheduler ADDRESS to use a running Dask cluster instead (pelmora-gen must
then be at the same path on every worker). It prints the array's mean and
standard deviation, computed by Dask, and with --output writes the values
as raw little-endian doubles (what `pelmora-gen --binary` writes).
"""

import argparse
import subprocess
import sys

import dask
import dask.array as da
import numpy as np
from dask.distributed import Client, LocalCluster


def whole_count(text):
    value = float(text)
    if not value.is_integer() or value < 0:
        raise argparse.ArgumentTypeError(f"not a whole count: {text}")
    return int(value)


def draw_part(gen, count, index, shards, options, seconds):
    """Shard INDEX of SHARDS as float64, from one pelmora-gen process."""
    command = [gen, "-j", "1", "-n", str(count), "--shard", f"{index}/{shards}", "--binary", *options]
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=seconds, check=False)
    if done.returncode != 0:
        raise RuntimeError(f"{' '.join(command)}: exit {done.returncode}: {done.stderr.decode().strip()}")
    return np.frombuffer(done.stdout, dtype="<f8")


def run_array(args):
    """The run as one Dask array, one chunk per shard, in order."""
    sizes = [(i + 1) * args.count // args.shards - i * args.count // args.shards for i in range(args.shards)]
    parts = [
        da.from_delayed(
            dask.delayed(draw_part)(args.gen, args.count, i, args.shards, args.options, args.part_seconds),
            shape=(size,), dtype="<f8")
        for i, size in enumerate(sizes)
    ]
    return da.concatenate(parts)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--gen", default="pelmora-gen", help="the pelmora-gen program (default: from PATH)")
    parser.add_argument("--count", type=whole_count, default=10_000_000, help="values in the run (default 1e7)")
    parser.add_argument("--shards", type=int, default=8, help="parts, one Dask task each (default 8)")
    parser.add_argument("--seed", default="2026", help="the run's seed (default 2026)")
    parser.add_argument("--source", default="philox", choices=["lcg", "philox"],
                        help="pelmora-gen's uniform source (default philox: long runs, every row splits)")
    parser.add_argument("--workers", type=int, default=2, help="LocalCluster worker processes (default 2)")
    parser.add_argument("--scheduler", help="address of a running Dask scheduler instead of a LocalCluster")
    parser.add_argument("--part-seconds", type=float, default=600, help="deadline of one part (default 600)")
    parser.add_argument("--output", help="write the values here as raw little-endian doubles")
    parser.add_argument("distribution", nargs=argparse.REMAINDER, help="distribution and parameters")
    args = parser.parse_args()
    if not args.distribution:
        parser.error("name a distribution, e.g. standard-normal")
    if args.shards < 1:
        parser.error("--shards must be at least 1")
    args.options = ["--source", args.source, "--seed", args.seed, *args.distribution]

    if args.scheduler:
        client = Client(args.scheduler)
        cluster = None
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                               host="127.0.0.1", dashboard_address=None)
        client = Client(cluster)
    try:
        values = run_array(args).persist()
        mean, std = dask.compute(values.mean(), values.std())
        print(f"dask-shards: {args.count} values in {args.shards} parts: mean {mean:.6g}, "
              f"standard deviation {std:.6g}")
        if args.output:
            with open(args.output, "wb") as out:
                for i in range(values.numblocks[0]):
                    values.blocks[i].compute().tofile(out)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
