"""The peer of the report benchmark: the same work as the report engine on the same
counts.bin, with pandas: records read, binned by the report bin, channel, well and
group tables (means, deviations, standard errors, counts), temperatures, and the
report text written to a file in the rows layout. Prints the seconds it took, file
reading and writing included, interpreter start-up excluded."""
import sys
import time

import numpy as np
import pandas as pd


def main():
    path, bin_minutes, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    start = time.perf_counter()
    record = np.dtype([("t", "<i4"), ("c", "<i2", (385,))])
    data = np.fromfile(path, dtype=record)
    counts = pd.DataFrame(data["c"][:, :384].astype(np.int32))
    counts["bin"] = (data["t"] + bin_minutes - 1) // bin_minutes
    binned = counts.groupby("bin").sum()
    samples = counts.groupby("bin").size()
    temps = pd.Series(data["c"][:, 384]).where(lambda t: (t >= 10) & (t <= 500))
    temperature = temps.groupby(counts["bin"]).mean().round()
    groups = [(ch // 16 + 1) // 2 for ch in range(384)]
    by_group = binned.T.groupby(np.array(groups))
    means = by_group.mean().T.round().astype(np.int64)
    deviations = by_group.std().T.round()
    wells = by_group.size()
    errors = (deviations / np.sqrt(wells)).where(deviations >= 1, 0.0)
    times = [str(b * bin_minutes) for b in binned.index]
    labels = ['"%03d_Group%d"' % (g, g) for g in means.columns]
    lines = ['"DATE:","now"', '"FILE:","%s"' % path, '"SUBPROJECT:",""', '"SETTING:",""', ""]

    def matrix(title, table, fmt):
        lines.append('"<<<<<< %s >>>>>>"' % title)
        lines.append("Group/Time[m]," + ",".join(times))
        for g, label in zip(table.columns, labels):
            lines.append(label + "," + ",".join(fmt(v) for v in table[g]))
        lines.append("")

    matrix("Group Activity: Average Activity Counts per Data Interval", means, str)
    matrix("Group Activity: Standard Error", errors, lambda v: "%.1f" % v)
    matrix("Group Activity: Number of wells/group",
           pd.DataFrame({g: [n] * len(times) for g, n in wells.items()}), str)
    lines.append("Time[m]," + ",".join(times) + ",")
    lines.append("#Samples," + ",".join(str(n * bin_minutes) for n in samples) + ",")
    lines.append("")
    lines.append("Temp[C]," + ",".join("%.1f" % (t / 10) for t in temperature.fillna(0)) + ",")
    lines.append("")
    lines.append("Well,Group/Time[m]," + ",".join(times))
    for ch in range(384):
        lines.append("%s%d,%s," % (chr(65 + ch % 16), ch // 16 + 1, labels[groups[ch]])
                     + ",".join(str(v) for v in binned[ch]))
    lines.append("")
    lines.append("Channel,Well,Group/Time[m]," + ",".join(times))
    for ch in range(384):
        lines.append("CH%d,%s%d.0,%s," % (ch, chr(65 + ch % 16), ch // 16 + 1, labels[groups[ch]])
                     + ",".join(str(v) for v in binned[ch]))
    with open(out, "w", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")
    elapsed = time.perf_counter() - start
    print(f"{elapsed:.6f}")


if __name__ == "__main__":
    main()
