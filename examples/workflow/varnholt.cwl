#!/usr/bin/env cwl-runner
# SPDX-License-Identifier: MIT
# varnholt as a CWL tool: any runner (cwltool, Toil on a cluster) sizes a
# genotype file with it and hands the allocation size on as a number.
#
#   cwltool examples/workflow/varnholt.cwl --genotypes g.txt --npos 250
cwlVersion: v1.2
class: CommandLineTool
label: Size a genotype file by its records
doc: |
  Echoes the genotype file, the pattern file and the number of positions,
  and reports one more than the genotype file's number of records as the
  allocation size. Fails (exit status 1) where that size would mean
  nothing: a file that cannot be counted, a compressed or binary one.

baseCommand: varnholt

requirements:
  InlineJavascriptRequirement: {}
  # What a runner asks its scheduler for. varnholt needs a few MiB, whatever
  # the file, but Toil runs its own worker in the same Slurm job, which
  # peaks at about 115 MiB: twice that covers both, where Toil's default
  # would ask for 2 GiB.
  ResourceRequirement:
    coresMin: 1
    ramMin: 256

hints:
  DockerRequirement:
    # The image of packaging/image.sh, loaded (podman load, docker load)
    # or pushed to a registry under this name.
    dockerPull: varnholt:0.1.0

inputs:
  genotypes:
    type: File
    doc: The genotype file; its records (lines) are counted.
    inputBinding:
      position: 1
  patterns:
    type: string
    default: patterns.mat
    doc: The pattern mat file's name; echoed only, never opened.
    inputBinding:
      position: 2
  npos:
    type: int
    doc: The number of positions (SNP or haplotype), -9999 to 99999.
    inputBinding:
      position: 3
      # varnholt reads five characters of it: refuse what they cannot hold
      # before it starts, rather than let it read a cut number.
      valueFrom: |
        ${
          if (self < -9999 || self > 99999)
            throw "npos is " + self + ": the number of positions must lie in -9999..99999";
          return self;
        }

stdout: report.txt

outputs:
  report:
    type: stdout
  allocation_size:
    type: int?
    doc: |
      One more than the number of records of the genotype file; null where
      varnholt failed, as its size then sizes nothing.
    outputBinding:
      glob: report.txt
      loadContents: true
      outputEval: |
        ${
          if (runtime.exitCode !== 0) return null;
          return parseInt(self[0].contents.match(/^ allocation size= *(-?[0-9]+)$/m)[1]);
        }
