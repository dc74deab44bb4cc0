#!/usr/bin/env python3
"""Turns the JSON output of moswick_bench into the Markdown tables of
bench/README.md: Mpixel/s per path and the ratios against pixman, SDL and
memcpy measured in the same run.

    moswick_bench --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \\
        --benchmark_out=bench.json --benchmark_out_format=json
    python3 bench/summarise.py bench.json
"""
import json
import sys


def load(path):
    with open(path) as f:
        data = json.load(f)
    rates = {}
    for b in data["benchmarks"]:
        name = b["name"]
        # With repetitions keep the median; a single run has no aggregate.
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        if "items_per_second" not in b:
            continue  # benchmarks of other subsystems that count no pixels
        name = name.split("/min_time")[0]
        rates[name] = b["items_per_second"] / 1e6
    return data.get("context", {}), rates


def fmt(v):
    return "-" if v is None else f"{v:,.0f}"


def ratio(a, b):
    if a is None or b is None or b == 0:
        return "-"
    return f"{a / b:.2f}x"


def main():
    context, r = load(sys.argv[1])
    print(f"Machine: {context.get('num_cpus', '?')} CPUs at {context.get('mhz_per_cpu', '?')} MHz, "
          f"load average during the run {context.get('load_avg', '?')}.\n")
    for scene in ("frame800x600", "sprites64x500"):
        print(f"### {scene}\n")
        print("| operation | bits | alpha | scalar | SSE2 | AVX2 | reference | AVX2 / ref | SSE2 / ref |")
        print("|---|---|---|---|---|---|---|---|---|")
        for bpp in (32, 16):
            base = f"{scene}/{bpp}bit/"
            mem = r.get(base + "memcpy")
            copy = r.get(base + "engine_copy")
            print(f"| opaque copy | {bpp} | - | {fmt(copy)} | | | memcpy {fmt(mem)} | {ratio(copy, mem)} | |")
            for op, refname in (("alpha_op255", "pixman_over_a8mask"),
                                ("alpha_op128", "pixman_over_premul_solid128"),
                                ("alpha_tint", "pixman_over_premul_solid128")):
                for alpha in ("noise", "sprite"):
                    s = r.get(f"{base}{op}/{alpha}/scalar")
                    s2 = r.get(f"{base}{op}/{alpha}/sse2")
                    a2 = r.get(f"{base}{op}/{alpha}/avx2")
                    ref = r.get(f"{scene}/32bit/{refname}/{alpha}")
                    print(f"| {op} | {bpp} | {alpha} | {fmt(s)} | {fmt(s2)} | {fmt(a2)} | "
                          f"{refname} {fmt(ref)} | {ratio(a2, ref)} | {ratio(s2, ref)} |")
            for op, refname in (("addblend", "pixman_add"), ("rect", "pixman_fill_over")):
                s = r.get(f"{base}{op}/scalar")
                s2 = r.get(f"{base}{op}/sse2")
                a2 = r.get(f"{base}{op}/avx2")
                ref = r.get(f"{scene}/32bit/{refname}")
                print(f"| {op} | {bpp} | - | {fmt(s)} | {fmt(s2)} | {fmt(a2)} | {refname} {fmt(ref)} | "
                      f"{ratio(a2, ref)} | {ratio(s2, ref)} |")
        print()
        print("| other (32-bit) | noise | sprite |")
        print("|---|---|---|")
        for name in ("pixman_over_a8mask", "pixman_over_premul_solid128", "sdl_blit_blend_mod255",
                     "sdl_blit_blend_mod128"):
            print(f"| {name} | {fmt(r.get(f'{scene}/32bit/{name}/noise'))} | "
                  f"{fmt(r.get(f'{scene}/32bit/{name}/sprite'))} |")
        print()
    print("| present full frame | Mpixel/s |")
    print("|---|---|")
    for bpp in (32, 16):
        print(f"| {bpp}-bit | {fmt(r.get(f'present_full_frame/{bpp}bit'))} |")


if __name__ == "__main__":
    main()
