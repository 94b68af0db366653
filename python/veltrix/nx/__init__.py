"""networkx backend: networkx functions answered by the VELTRIX kernels.

networkx finds the backend through the ``networkx.backends`` entry point
(:class:`veltrix.nx.interface.BackendInterface`). Nothing here imports networkx, so
``import veltrix`` works without it; only the interface and the algorithms need it.
"""
