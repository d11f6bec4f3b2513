import os
from collections.abc import Mapping, Sequence
from typing import Any, Literal, Optional, Union

import numpy as np
import numpy.typing as npt

__version__: str
__all__: list[str]

_Path = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]
_Settings = Union[Mapping[str, Any], _Path]
_Format = Literal["cf64", "cf32", "ci16be", "torvik", "mat", "ascii", "sigmf"]
_Carrier = Union[tuple[float], tuple[float, Optional[float]], tuple[float, Optional[float], Union[Mapping[str, Any], _Path, int, None]]]
_Samples = npt.NDArray[np.complex128]
_Markers = npt.NDArray[np.uint8]

def generate(
    params: Optional[_Settings] = ...,
    *,
    seed: Optional[int] = ...,
    carriers: Optional[Sequence[_Carrier]] = ...,
    noise_cn: Optional[float] = ...,
    crest_db: Optional[float] = ...,
    quantize_offsets: bool = ...,
    **fields: Any,
) -> tuple[_Samples, _Markers]: ...
def defaults() -> dict[str, Any]: ...
def load_params(path: _Path) -> dict[str, Any]: ...
def save_params(path: _Path, params: Mapping[str, Any]) -> None: ...
def write(
    path: _Path,
    samples: npt.ArrayLike,
    format: _Format = ...,
    params: Optional[_Settings] = ...,
    *,
    markers: Optional[npt.ArrayLike] = ...,
    rate: Optional[float] = ...,
    frequency: Optional[float] = ...,
) -> None: ...
def read(path: _Path, format: Optional[_Format] = ...) -> tuple[_Samples, Optional[float], Optional[_Markers]]: ...
def download(
    samples: npt.ArrayLike,
    address: str,
    settings: Optional[_Settings] = ...,
    *,
    markers: Optional[npt.ArrayLike] = ...,
    timeout: float = ...,
    portmapper: Optional[int] = ...,
) -> str: ...
def analyze(
    samples: npt.ArrayLike,
    rate: float,
    *,
    pn_offset: Optional[int] = ...,
    reference: Literal["acp", "std", "rect"] = ...,
    equalizer: bool = ...,
    offset: Optional[float] = ...,
    frames: Optional[int] = ...,
) -> dict[str, Any]: ...
def keep_large_buffers() -> None: ...
