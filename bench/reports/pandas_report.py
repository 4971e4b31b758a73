"""The peer of the report benchmark: the report engine's work on a run folder done with
numpy and pandas, written to a file that must hold the engine's own text for the Rows
layout (",", "." decimals, Std Error and N ticked, no basal run).

    pandas_report.py RUN_FOLDER BIN_MINUTES OUT_FILE DATE_TEXT

The run is read as the engine reads it: setup.dat (plate format, method, organism, SNR),
groups.dat, chgroup.dat and counts.bin (records after the run's largest minute dropped,
a day added after a fall of more than 1000 minutes). Each record covers an equal share
of the run and its counts are spread over the report bins it overlaps, in proportion;
a bin keeps the last temperature above zero of the records it takes from; a trailing
partial bin covered at least 75 % is scaled up, a smaller one dropped. Then channel,
well and group tables (rounded means, deviations from the rounded mean, standard
errors, wells per group), one record per bin for #Samples, and the report text,
written to a temporary file, synced to the disk and renamed into place, the folder
synced after.

Only what the benchmark's run needs is built: the w384 plate (well = channel) and runs
without a recording gap; anything else stops with a message rather than giving a
different report. Prints the seconds the work took, files read and written included,
interpreter start-up and imports excluded."""
import csv
import math
import os
import sys
import time

import numpy as np
import pandas as pd

CHANNELS = 384
MINUTES_PER_DAY = 1440
MAX_REPORT_BINS = 100000
MAX_MINUTES_PER_RECORD = 60
DEGREE = "\u00b0"


def half_even(values):
    """Round to the nearest whole number, halves to even (numpy's rint)."""
    return np.rint(values)


def fixed1(value):
    """A "0.0" cell as the engine formats it: rounded to tenths first, never "-0.0"."""
    r = float(half_even(value * 10.0)) / 10.0
    if r == 0.0:
        r = 0.0
    return "%.1f" % r


def number_text(value):
    """Up to 15 significant digits, trailing zeros dropped."""
    text = "%.15g" % value
    return text.rstrip("0").rstrip(".") if "." in text else text


def settings_fields(line):
    return next(csv.reader([line]))


def read_setup(folder):
    with open(folder + "/setup.dat", encoding="latin-1", newline="") as f:
        lines = f.read().splitlines()
    plate_format = settings_fields(lines[1])[3]
    method = int(settings_fields(lines[3])[4])
    tools = settings_fields(lines[9])
    organism, snr = int(tools[0]), int(tools[3])
    if snr < 5:
        snr = 18
    name = {0: "C.elegans", 1: "Zebrafish", 2: "Echinococcus"}.get(organism, "")
    value = float(fixed1(snr / 10.0))
    return plate_format, "Mode%d %s[snr=%s]" % (method, name, number_text(value))


def read_subproject_name(folder):
    try:
        with open(folder + "/subproj.dat", encoding="latin-1", newline="") as f:
            first = f.readline()
    except OSError:
        return ""
    return settings_fields(first)[0] if first.strip() else ""


def read_table(path, count, convert):
    """The second field of each line after the header, for entries 0..count-1."""
    values = []
    with open(path, encoding="latin-1", newline="") as f:
        rows = csv.reader(f.read().splitlines()[1:])
        for fields in rows:
            if len(values) == count:
                break
            values.append(convert(fields[1]))
    return values


def load_counts(path):
    """Records 0..M (M the last at the run's largest minute) with their day-offset times;
    D, the run length the bin clamp sees."""
    record = np.dtype([("t", "<i4"), ("c", "<i2", (385,))])
    data = np.fromfile(path, dtype=record)
    if len(data) == 0:
        raise SystemExit("empty counts.bin: the engine reports no bins")
    minutes = data["t"].astype(np.int64)
    before = np.concatenate(([0], minutes[:-1]))
    falls = before - minutes > 1000
    # Loaded times count a fall from the record that falls; the clamp's length from the
    # record after it.
    loaded_day = np.cumsum(np.where(np.arange(len(minutes)) > 0, falls, False))
    clamp_day = np.cumsum(falls) - falls
    duration = int(min(max(0, int((clamp_day * MINUTES_PER_DAY + minutes).max())), 2**31 - 1))
    last = int(np.flatnonzero(minutes == np.maximum.accumulate(minutes))[-1])
    times = np.minimum(loaded_day * MINUTES_PER_DAY + minutes, 2**31 - 1)[: last + 1]
    counts = data["c"][: last + 1, :CHANNELS]
    temperatures = data["c"][: last + 1, CHANNELS]
    return times, counts, temperatures, duration


def clamp_bin(b, duration):
    if b < 1:
        b = 1
    if b > duration:
        b = (duration // 15) * 15 if duration > 30 else duration
    return b


def has_recording_gap(times):
    if len(times) < 2:
        return False
    dt = max(1, int(times[1] - times[0]))
    steps = np.diff(times)
    return bool(np.any((steps >= 0) & (steps != 0) & (steps > 2 * dt)))


def resample(T, times, counts, temperatures, B):
    """Report bins of B minutes: counts per bin and channel, temperature per bin, the
    end minute kept and the index of the last bin (-1: nothing to report)."""
    N = len(times) - 1
    if T <= 0 or T > (N + 1) * MAX_MINUTES_PER_RECORD:
        return None
    K = int(half_even(T / B))
    if K > MAX_REPORT_BINS or K * B > 2**31 - 1:
        return None
    if has_recording_gap(times):
        raise SystemExit("recording gap: this peer spreads runs without one only")
    last_bin = K + 1
    r = T / (N + 1.0)
    j = np.arange(N + 1)
    start = j * r
    end = (j + 1) * r
    first = np.floor(start / B).astype(np.int64)
    whole = (first <= last_bin) & (end <= ((first + 1) * B).astype(np.float64))

    # Records inside one bin are summed as whole numbers. Bins follow record order, so a
    # bin's whole records are one stretch of the file.
    sums = np.zeros((K + 2, CHANNELS), dtype=np.int64)
    inside = np.flatnonzero(whole)
    if len(inside):
        bins, starts = np.unique(first[inside], return_index=True)
        ends = np.append(starts[1:], len(inside))
        if np.any(ends - starts >= 65535):
            raise SystemExit("a bin of 65535 records or more: not handled by this peer")
        if np.any(inside[ends - 1] - inside[starts] != ends - starts - 1):
            raise SystemExit("a bin's records are not one stretch: not handled by this peer")
        for b, lo, hi in zip(bins.tolist(), inside[starts].tolist(),
                             (inside[ends - 1] + 1).tolist()):
            sums[b] = counts[lo:hi].sum(axis=0, dtype=np.int64)

    # A record across a bin end is shared out over the bins it overlaps, in record order.
    shares = []  # (bin, record, share) in record order
    for j_ in np.flatnonzero(~whole & (first <= last_bin)):
        a, e = start[j_], end[j_]
        for b in range(int(first[j_]), last_bin + 1):
            lo = max(a, float(b * B))
            hi = min(e, float((b + 1) * B))
            if hi <= lo:
                if lo >= e:
                    break
                continue
            shares.append((b, j_, (hi - lo) / r))
    # The fractions reach each bin in record order, then the whole records' sum.
    acc = np.zeros((K + 2, CHANNELS))
    for b, j_, share in shares:
        acc[b] = acc[b] + counts[j_].astype(np.float64) * share
    acc = acc + sums

    # The last temperature above zero among the records a bin takes from.
    touches = pd.DataFrame({"bin": first[inside], "record": inside})
    if shares:
        touches = pd.concat([touches, pd.DataFrame(
            {"bin": [s[0] for s in shares], "record": [s[1] for s in shares]})])
    touches = touches[temperatures[touches["record"].to_numpy()] > 0]
    latest = touches.groupby("bin")["record"].max()
    bin_temperature = np.zeros(K + 2)
    bin_temperature[latest.index.to_numpy()] = temperatures[latest.to_numpy()]

    binned = half_even(acc[:K]).astype(np.int64)
    temperature = half_even(bin_temperature[:K]).astype(np.int64)
    bl = K - 1
    whole_minutes = int(math.floor(T / B)) * B
    pct = float(T - whole_minutes) * 100.0 / B
    if 75.0 <= pct < 100.0 and bl >= 0:
        f = 1.0 + (100.0 - pct) / 100.0
        binned[bl] = half_even(binned[bl] * f).astype(np.int64)
        T = (bl + 1) * B
    elif 0.0 < pct < 75.0:
        T = whole_minutes
    last = int(half_even(T / B)) - 1
    if last < 0:
        return None
    return binned[: last + 1], temperature[: last + 1], (last + 1) * B


def main():
    folder, bin_text, out, date_text = sys.argv[1:5]
    start = time.perf_counter()
    plate_format, setting = read_setup(folder)
    if plate_format != "w384":
        raise SystemExit("plate %s: this peer knows the w384 plate only" % plate_format)
    names = read_table(folder + "/groups.dat", 385, lambda v: v)
    names += [""] * (385 - len(names))
    chgroup = read_table(folder + "/chgroup.dat", 385, int)
    chgroup += [-1] * (385 - len(chgroup))
    group = np.array([g if 0 <= g <= 384 else -1 for g in chgroup[:CHANNELS]])

    times, counts, temperatures, duration = load_counts(folder + "/counts.bin")
    if duration < 1:
        raise SystemExit("a run shorter than a minute has no report")
    B = clamp_bin(int(half_even(float(bin_text))), duration)
    resampled = resample(int(max(0, times.max())), times, counts, temperatures, B)
    if resampled is None:
        raise SystemExit("Resampling ERROR")
    binned, temperature, L = resampled

    # One record per report bin: bin j is slot j + 1, labelled B x (j + 1), never past L.
    n = max(1, int(half_even(L / B)))
    bins = min(n, len(binned))
    activity = pd.DataFrame(binned[:bins])  # rows: bins, columns: channels (= wells)
    labels = [str(min(B * (j + 1), L)) for j in range(bins)]
    valid_temperature = np.where((temperature >= 10) & (temperature <= 500), temperature, 0)

    G = max(0, int(group.max()))
    wells = activity.T.groupby(group)  # well w is channel w on this plate
    members = wells.size()
    means = half_even(wells.sum().T / members).astype(np.int64)
    deviations = {}
    for g, rows in wells:
        if g < 0:
            continue
        if len(rows) > 1:
            squares = ((rows - means[g].to_numpy()) ** 2).sum()
            deviations[g] = half_even(np.sqrt(squares / (len(rows) - 1))).astype(np.int64)
        else:
            deviations[g] = pd.Series(0, index=rows.columns)
    group_label = ['"%03d_%s"' % (g, names[g]) for g in range(G + 1)]
    channel_label = [group_label[g] if g >= 0 else '"999_Free"' for g in group]

    lines = ['"DATE:","%s"' % date_text, '"FILE:","%s"' % folder,
             '"SUBPROJECT:","%s"' % read_subproject_name(folder), '"SETTING:","%s"' % setting, ""]

    def matrix(title, cells):
        lines.append('"%s"' % title)
        lines.append(",".join(["Group/Time[m]"] + labels))
        for g in range(G + 1):
            lines.append(group_label[g] + "," + cells(g))
        lines.append("")

    def row(values):
        return lambda g: ",".join(map(str, values(g)))

    no_bins = np.zeros(bins, dtype=np.int64)
    mean_rows = row(lambda g: means[g].to_numpy() if g in members.index else no_bins)

    def error_row(g):
        count = int(members.get(g, 0))
        sd = deviations[g].to_numpy() if g in deviations else no_bins
        root = math.sqrt(count) if count > 0 else 0.0
        return ",".join("0.0" if count < 1 or v < 1 else fixed1(v / root) for v in sd.tolist())

    matrix("<<<<<< Group Activity: Average Activity Counts per Data Interval>>>>>>", mean_rows)
    matrix("<<<<<< Group Activity: Standard Error >>>>>>", error_row)
    matrix("<<<<<< Group Activity: Number of wells/group >>>>>>",
           lambda g: ",".join([str(int(members.get(g, 0)))] * bins))
    lines.append('"<<<<<< Number of Samples per Acquisition Interval [1unit=500values] >>>>>>"')
    lines.append("Time[m]," + "".join(t + "," for t in labels))
    lines.append("#Samples," + (str(B) + ",") * bins)
    lines.append("")
    lines.append("")
    lines.append('"<<<<<< Average Temperature [%sC] >>>>>>"' % DEGREE)
    lines.append("Time[m]," + "".join(t + "," for t in labels))
    lines.append("Temp[%sC]," % DEGREE
                 + "".join(fixed1(t / 10.0) + "," for t in valid_temperature[:bins]))
    lines.append("")
    cells = [",".join(map(str, column)) for column in binned[:bins].T.tolist()]
    lines.append('"<<<<<< Well Activity >>>>>>"')
    lines.append(",".join(["Well", "Group/Time[m]"] + labels))
    for ch in range(CHANNELS):
        lines.append("%s%d,%s,%s" % (chr(65 + ch % 16), ch // 16 + 1, channel_label[ch], cells[ch]))
    lines.append("")
    lines.append('"<<<<<< Channel Activity >>>>>>"')
    lines.append(",".join(["Channel", "Well", "Group/Time[m]"] + labels))
    for ch in range(CHANNELS):
        lines.append("CH%d,%s%d.0,%s,%s"
                     % (ch, chr(65 + ch % 16), ch // 16 + 1, channel_label[ch], cells[ch]))
    # Written as the engine writes its report: to a temporary beside it, on the disk,
    # then renamed into place.
    temporary = out + ".tmp~"
    with open(temporary, "w", encoding="utf-8", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")
        f.flush()
        os.fsync(f.fileno())
    os.rename(temporary, out)
    folder_fd = os.open(os.path.dirname(os.path.abspath(out)), os.O_RDONLY)
    os.fsync(folder_fd)
    os.close(folder_fd)
    print("%.6f" % (time.perf_counter() - start))


if __name__ == "__main__":
    main()
